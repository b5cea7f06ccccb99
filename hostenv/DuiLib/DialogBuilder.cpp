#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <array>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "DuiLib/Attributes.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

namespace {

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// XmlLite is resolved at run time: not every tool chain has its import library.
CreateXmlReaderFn XmlReaderFactory() {
    static const CreateXmlReaderFn factory = [] {
        HMODULE xmllite = LoadLibraryW(L"xmllite.dll");
        return xmllite != nullptr ? reinterpret_cast<CreateXmlReaderFn>(
                                        reinterpret_cast<void*>(GetProcAddress(xmllite, "CreateXmlReader")))
                                  : nullptr;
    }();
    return factory;
}

template <typename T>
struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p != nullptr) {
            p->Release();
        }
    }
};

CControlUI* NewControl(const wchar_t* element, IDialogBuilderCallback* callback) {
    if (std::wcscmp(element, L"Control") == 0) {
        return new CControlUI;
    }
    if (std::wcscmp(element, L"Label") == 0 || std::wcscmp(element, L"Text") == 0) {
        return new CLabelUI;
    }
    if (std::wcscmp(element, L"Button") == 0) {
        return new CButtonUI;
    }
    if (std::wcscmp(element, L"HorizontalLayout") == 0) {
        return new CHorizontalLayoutUI;
    }
    if (std::wcscmp(element, L"VerticalLayout") == 0) {
        return new CVerticalLayoutUI;
    }
    if (std::wcscmp(element, L"Container") == 0) {
        return new CContainerUI;
    }
    return callback != nullptr ? callback->CreateControl(element) : nullptr;
}

// A layout file as read once: its elements in document order, each with its
// attributes, and where each one's children end.
struct LayoutElement {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    bool empty = false; // no children and no end tag of its own
};
struct Layout {
    std::vector<LayoutElement> elements;
    std::vector<int> events; // an index into elements for a start tag, -1 for an end tag
};

// Null for a missing, unreadable or malformed file.
std::shared_ptr<const Layout> ReadLayout(const wchar_t* path) {
    const CreateXmlReaderFn factory = XmlReaderFactory();
    ComRelease<IStream> stream;
    ComRelease<IXmlReader> reader;
    if (factory == nullptr || FAILED(SHCreateStreamOnFileW(path, STGM_READ | STGM_SHARE_DENY_WRITE, &stream.p)) ||
        FAILED(factory(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr)) ||
        FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader.p->SetInput(stream.p))) {
        return nullptr;
    }
    auto layout = std::make_shared<Layout>();
    XmlNodeType node;
    HRESULT hr;
    while ((hr = reader.p->Read(&node)) == S_OK) {
        if (node == XmlNodeType_EndElement) {
            layout->events.push_back(-1);
            continue;
        }
        if (node != XmlNodeType_Element) {
            continue;
        }
        LayoutElement element;
        const wchar_t* name = nullptr;
        reader.p->GetLocalName(&name, nullptr);
        element.name = name != nullptr ? name : L"";
        element.empty = reader.p->IsEmptyElement() != FALSE;
        for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK; a = reader.p->MoveToNextAttribute()) {
            const wchar_t* attribute = nullptr;
            const wchar_t* value = nullptr;
            reader.p->GetLocalName(&attribute, nullptr);
            reader.p->GetValue(&value, nullptr);
            element.attributes.emplace_back(attribute != nullptr ? attribute : L"", value != nullptr ? value : L"");
        }
        layout->events.push_back(static_cast<int>(layout->elements.size()));
        layout->elements.push_back(std::move(element));
    }
    return FAILED(hr) ? nullptr : layout;
}

// Layouts are parsed once per process: a window of the same layout opened again
// builds its controls from memory. The file's size and last-write time are
// looked at each time, so a replaced layout is read again and a removed one
// fails as before.
class LayoutCache {
public:
    std::shared_ptr<const Layout> Get(const wchar_t* path) {
        WIN32_FILE_ATTRIBUTE_DATA attributes = {};
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes)) {
            return nullptr;
        }
        const Stamp stamp{attributes.nFileSizeHigh, attributes.nFileSizeLow, attributes.ftLastWriteTime.dwHighDateTime,
                          attributes.ftLastWriteTime.dwLowDateTime};
        {
            std::lock_guard<std::mutex> hold(lock_);
            const auto found = layouts_.find(path);
            if (found != layouts_.end() && found->second.first == stamp) {
                return found->second.second;
            }
        }
        std::shared_ptr<const Layout> layout = ReadLayout(path);
        if (layout != nullptr) {
            std::lock_guard<std::mutex> hold(lock_);
            layouts_[path] = {stamp, layout};
        }
        return layout;
    }

private:
    using Stamp = std::array<DWORD, 4>; // size and last-write time
    std::mutex lock_;
    std::map<std::wstring, std::pair<Stamp, std::shared_ptr<const Layout>>> layouts_;
};

LayoutCache& Layouts() {
    static LayoutCache cache;
    return cache;
}

} // namespace

CControlUI* CDialogBuilder::Create(const wchar_t* path, IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    // A malformed layout gives no window rather than half of one.
    const std::shared_ptr<const Layout> layout = path != nullptr ? Layouts().Get(path) : nullptr;
    if (layout == nullptr) {
        return nullptr;
    }
    CControlUI* root = nullptr;
    // The open elements; null where an element made no control (its children are skipped).
    std::vector<CControlUI*> open;
    int skipDepth = 0;
    for (const int event : layout->events) {
        if (event < 0) {
            if (skipDepth > 0) {
                --skipDepth;
            } else if (!open.empty()) {
                open.pop_back();
            }
            continue;
        }
        const LayoutElement& element = layout->elements[static_cast<size_t>(event)];
        const bool empty = element.empty;
        if (skipDepth > 0) {
            skipDepth += empty ? 0 : 1;
            continue;
        }
        if (element.name == L"Window") {
            for (const auto& attribute : element.attributes) {
                int size[2] = {};
                if (attribute.first == L"size" && manager != nullptr &&
                    ParseInts(attribute.second.c_str(), size, 2) == 2) {
                    manager->SetInitSize(size[0], size[1]);
                }
            }
            if (!empty) {
                open.push_back(nullptr); // the window itself holds no control
            }
            continue;
        }
        CControlUI* control = NewControl(element.name.c_str(), callback);
        CContainerUI* parent = open.empty() || open.back() == nullptr ? nullptr
                                                                      : dynamic_cast<CContainerUI*>(open.back());
        if (control == nullptr || (root != nullptr && parent == nullptr)) {
            delete control; // unknown elements, and a second root, are left out
            skipDepth += empty ? 0 : 1;
            continue;
        }
        if (manager != nullptr) {
            control->SetManager(manager, parent);
        }
        for (const auto& attribute : element.attributes) {
            control->SetAttribute(attribute.first.c_str(), attribute.second.c_str());
        }
        if (parent != nullptr) {
            parent->Add(control);
        } else {
            root = control;
        }
        if (!empty) {
            open.push_back(control);
        }
    }
    return root;
}

} // namespace DuiLib
