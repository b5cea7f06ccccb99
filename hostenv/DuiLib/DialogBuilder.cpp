#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <cwchar>
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

} // namespace

CControlUI* CDialogBuilder::Create(const wchar_t* path, IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    const CreateXmlReaderFn factory = XmlReaderFactory();
    if (factory == nullptr || path == nullptr) {
        return nullptr;
    }
    ComRelease<IStream> stream;
    ComRelease<IXmlReader> reader;
    if (FAILED(SHCreateStreamOnFileW(path, STGM_READ | STGM_SHARE_DENY_WRITE, &stream.p)) ||
        FAILED(factory(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr)) ||
        FAILED(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader.p->SetInput(stream.p))) {
        return nullptr;
    }
    CControlUI* root = nullptr;
    // The open elements; null where an element made no control (its children are skipped).
    std::vector<CControlUI*> open;
    int skipDepth = 0;
    XmlNodeType node;
    HRESULT hr;
    while ((hr = reader.p->Read(&node)) == S_OK) {
        if (node == XmlNodeType_EndElement) {
            if (skipDepth > 0) {
                --skipDepth;
            } else if (!open.empty()) {
                open.pop_back();
            }
            continue;
        }
        if (node != XmlNodeType_Element) {
            continue;
        }
        const wchar_t* element = nullptr;
        reader.p->GetLocalName(&element, nullptr);
        const bool empty = reader.p->IsEmptyElement() != FALSE;
        if (skipDepth > 0) {
            skipDepth += empty ? 0 : 1;
            continue;
        }
        if (std::wcscmp(element, L"Window") == 0) {
            for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK; a = reader.p->MoveToNextAttribute()) {
                const wchar_t* name = nullptr;
                const wchar_t* value = nullptr;
                reader.p->GetLocalName(&name, nullptr);
                reader.p->GetValue(&value, nullptr);
                int size[2] = {};
                if (std::wcscmp(name, L"size") == 0 && manager != nullptr && ParseInts(value, size, 2) == 2) {
                    manager->SetInitSize(size[0], size[1]);
                }
            }
            if (!empty) {
                open.push_back(nullptr); // the window itself holds no control
            }
            continue;
        }
        CControlUI* control = NewControl(element, callback);
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
        for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK; a = reader.p->MoveToNextAttribute()) {
            const wchar_t* name = nullptr;
            const wchar_t* value = nullptr;
            reader.p->GetLocalName(&name, nullptr);
            reader.p->GetValue(&value, nullptr);
            control->SetAttribute(name, value);
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
    if (FAILED(hr)) { // a malformed layout gives no window rather than half of one
        delete root;
        return nullptr;
    }
    return root;
}

} // namespace DuiLib
