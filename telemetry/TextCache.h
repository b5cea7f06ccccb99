#pragma once

#include <mutex>
#include <utility>

namespace KelvaneCenter {

// A text that is costly to find, kept for as long as its key stays the same.
// An empty text means "not found" and is never kept: the next Get looks again.
template <typename Key, typename Text>
class TextCache {
public:
    template <typename Find>
    Text Get(const Key& key, Find&& find) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!kept_ || key_ != key) {
            Text text = find();
            if (text.empty()) {
                return text;
            }
            key_ = key;
            text_ = std::move(text);
            kept_ = true;
        }
        return text_;
    }

private:
    std::mutex lock_;
    bool kept_ = false;
    Key key_{};
    Text text_;
};

} // namespace KelvaneCenter
