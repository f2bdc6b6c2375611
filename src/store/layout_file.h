// Layout files: button records, one per line. The user button panel keeps its
// list in "key.txt" in the data folder; the virtual keyboard reads a layout that
// the user names, from the data folder or else from the layouts shipped with the
// program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tapwell::store {

inline constexpr const char* kPanelLayoutName = "key.txt";

// The non-empty lines of a layout file, read with the text-file rules (CR or
// CR LF ends a line, a lone LF stays inside it, 0x1A ends the text, UTF-8 with
// the Shift-JIS fallback). Raises EInOutError naming the file and the reason.
std::vector<std::string> ReadLayoutRecords(const std::string& path);

// The file text of a record list: its lines (separated by LF, CR LF or CR, as a
// multi-line edit box gives them) each followed by CR LF; a list that ends with
// a line break ends with an empty line, an empty list is CR LF alone.
std::string RecordListFileText(std::string_view listText);

// Writes the record list through a temporary file and a rename, so that a
// failed save leaves the old file intact. Raises EInOutError.
void SaveRecordList(const std::string& path, std::string_view listText);

// The file to read for a layout name: dataFolder + name when anything of that
// name is there, else shippedFolder + "/" + name when that is a file, else
// dataFolder + name (whose reading then reports that it is missing).
std::string LayoutFilePath(const std::string& dataFolder, const std::string& name,
                           const std::string& shippedFolder);

}  // namespace tapwell::store
