#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvane {

// Every text the person reads goes through `translate(context, sourceText)`, with the English
// text as the source and the class that shows it as the context; the translation tools find the
// calls by that name. The core keeps no translations of its own: the application installs a
// translator (Qt's), and without one (the tools, the tests) the English text is returned as it
// stands. Texts the device sends, and file formats, never go through here.
// Marks a text in a table for the translation tools without translating it there; the place that
// shows it calls translate(context, text) with the same context.
#define ORVANE_TRANSLATE_NOOP(context, sourceText) sourceText

using Translator = std::string (*)(const char* context, const char* sourceText);

// Installs the translator for every thread; nullptr goes back to English.
void setTranslator(Translator translator);

std::string translate(const char* context, const char* sourceText);

// Replaces %1 … %9 in `pattern` by the arguments, in one pass, so an argument that itself holds
// "%2" is left as it is. A place holder without an argument stays as written.
std::string withArgs(std::string_view pattern, std::initializer_list<std::string_view> arguments);

template <typename... Arguments>
std::string withArgs(std::string_view pattern, const Arguments&... arguments) {
    return withArgs(pattern, {std::string_view(arguments)...});
}

}  // namespace orvane
