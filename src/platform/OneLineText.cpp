#include "platform/OneLineText.h"

namespace orvane {

std::string withoutControlCharacters(std::string_view text, char replacement) {
    std::string line(text);
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = replacement;
    }
    return line;
}

}  // namespace orvane
