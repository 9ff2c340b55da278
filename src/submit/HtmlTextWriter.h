#pragma once

#include <string>
#include <string_view>

namespace tovela {

// Builds the readable text of HTML from a walk over its elements, with the rules a
// browser's rendered text follows: runs of white space collapse to one blank outside
// preformatted elements, <br> breaks the line, block elements start and end on lines of
// their own, table cells are set apart by a blank, and script, style, title and head show
// nothing. Line breaks are CR LF. Whoever walks the markup (a parsed tree or tokens) calls
// Open and Close around each element's content and Text for its decoded text.
class HtmlTextWriter {
public:
    // `name` in lower case. False when the element's content must not be shown: the
    // caller skips it and does not call Close.
    bool Open(std::string_view name);
    void Close(std::string_view name);
    void Text(std::string_view decoded);
    // The text so far, without blanks or line breaks at its end.
    std::string Take();

private:
    void LineBreak();
    void EndLine();

    std::string text_;
    bool lineStart_ = true;
    bool blankDue_ = false;
    int preformatted_ = 0;
};

}  // namespace tovela
