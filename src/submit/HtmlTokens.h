#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovela {

// One piece of HTML as a browser's tokenizer cuts it, with the source text it came from.
struct HtmlToken {
    enum class Kind {
        Text,         // character data, entities still in it
        RawText,      // the content of script, style, textarea, title or xmp
        StartTag,     // <name ...> or <name .../>
        EndTag,       // </name ...>
        Comment,      // <!-- ... -->
        Declaration,  // <!DOCTYPE ...>, <?xml ...?> and other <! ...> or <? ...>
    };
    Kind kind = Kind::Text;
    std::string_view source;   // exactly as written, a view into the tokenized text
    std::string name;          // tags only: the name in lower case
    bool selfClosing = false;  // a start tag ending in "/>"
};

// Cuts `html` into tokens in one pass. Never fails: a "<" that starts no markup is text.
// A tag, comment or declaration left unfinished at the end of the text is dropped, as a
// browser drops it; a raw-text element without its end tag runs to the end.
std::vector<HtmlToken> TokenizeHtml(std::string_view html);

}  // namespace tovela
