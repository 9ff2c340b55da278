#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovela {

// The ids in the upload service's answer ("200,'N','id1,id2'", N being the number of the
// last file): the answer's last match of that form for `count` files, or
// "AttachID format incorrect" when there is none.
std::string UploadIds(std::string_view response, std::size_t count);

// The text of a failed zip run for its exit code; an unknown code names the archive and the
// temporary file.
std::string ZipErrorText(std::int32_t code, std::string_view archiveName,
                         std::string_view temporaryPath);

}  // namespace tovela
