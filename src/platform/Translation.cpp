#include "platform/Translation.h"

#include <atomic>
#include <vector>

namespace orvane {

namespace {
std::atomic<Translator> installedTranslator{nullptr};
}

void setTranslator(Translator translator) { installedTranslator.store(translator); }

std::string translate(const char* context, const char* sourceText) {
    if (const auto translator = installedTranslator.load()) return translator(context, sourceText);
    return sourceText;
}

std::string withArgs(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> values(arguments);
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < values.size()) {
                text += values[index];
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

}  // namespace orvane
