#include "submit/UploadAnswer.h"

#include <algorithm>
#include <utility>

#include "session/RegEx.h"

namespace tovela {

std::string UploadIds(std::string_view response, std::size_t count) {
    std::string flat(response);
    std::replace_if(
        flat.begin(), flat.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const std::string n = std::to_string(count);
    std::string ids =
        RegExReplace(".*200,'" + n + "','([0-9a-f\\-\\:\\,]{10,})'.*", flat, "$1", false, true);
    if (ids.find('\'') == ids.npos) return ids;
    ids = RegExReplace(".*200,'" + n + "','([^']+)'.*", flat, "$1", false, true);
    if (ids.find('\'') == ids.npos) return ids;
    return "AttachID format incorrect";
}

std::string ZipErrorText(std::int32_t code, std::string_view archiveName,
                         std::string_view temporaryPath) {
    static constexpr std::pair<std::int32_t, const char*> kTexts[] = {
        {2, "Unexpected End Of Zip File"},
        {3, "Zip File Structure"},
        {4, "Out of Memory"},
        {5, "Internal Logic"},
        {6, "Entry Too Large to Split"},
        {7, "Invalid Comment Format"},
        {8, "Zip Test Failed Or Out of Memory"},
        {9, "User Interrupted Or Termination failed"},
        {10, "Using a Temp File failed"},
        {11, "Reading Or Seeking a File"},
        {12, "Nothing To Do"},
        {13, "Missing Or Empty Zip File"},
        {14, "Writing to a File"},
        {15, "Couldn't Open a File to Write"},
        {16, "Bad Command Line Argument"},
        {18, "Couldn't Open a File to Read"},
        {258, "Timeout"}};
    for (const auto& [number, text] : kTexts)
        if (number == code) return text;
    return std::string(archiveName) + ", " + std::string(temporaryPath);
}

}  // namespace tovela
