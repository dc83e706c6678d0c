// Finds the photograph a specimen was digitised on from the value of its
// IMAGE= line. Digitising programs write the path they had on the machine
// that made the file, often an absolute Windows path that exists nowhere else
// (C:\Users\...\M-12156_maxilla_lateral.tif), so the file is looked for in
// this order:
//   1. a relative path, in the TPS file's folder (backslashes read as
//      separators); an absolute path, as it is;
//   2. its file name (after the last / or \) in the TPS file's folder, then
//      in `images_dir` when one is given;
//   3. that name in any letter case in the same folders (the first such
//      name in byte order), as photos copied from Windows often differ in it.
// A value that starts with "IMAGE=" again (some published files double the
// keyword) is read after it. Only regular files count. Returns the path
// found, or nothing for an empty value and a photo found nowhere; raises
// nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dg {

std::optional<std::string> find_specimen_image(std::string_view image, const std::string& tps_path,
                                               const std::string& images_dir = {});

}  // namespace dg
