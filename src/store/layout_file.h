// Layout files: button records, one per line. The user button panel keeps its
// list in "key.txt" in the data folder; the virtual keyboard reads a layout that
// the user names, from the data folder or else from the layouts shipped with the
// program.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tapwell::store {

inline constexpr const char* kPanelLayoutName = "key.txt";

// The non-empty lines of a layout file, read with the text-file rules (CR LF, CR
// or LF ends a line, 0x1A ends the text, UTF-8 with the Shift-JIS fallback). Raises EInOutError naming the
// file and the reason.
std::vector<std::string> ReadLayoutRecords(const std::string& path);

// Reads a layout file and, for every non-empty line in order, calls make(line)
// and then add(line): makes the button, then puts the record into the list. An
// exception from make (a record that does not convert) ends the load there: its
// line is not added and no later line is used; what was done before stays.
// Raises EInOutError, before anything is made, when the file cannot be read.
void LoadLayout(const std::string& path, const std::function<void(const std::string& record)>& make,
                const std::function<void(const std::string& record)>& add);

// A record list (lines separated by LF, as a multi-line edit box gives them)
// with record as its new last line: after the last line when that is not empty,
// in place of the empty last line otherwise (an empty list is one empty line).
std::string AppendRecordLine(std::string_view listText, std::string_view record);

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

// The folder of the layouts shipped with the program: <prefix>/share/tapwell/
// layouts when the program file lies in <prefix>/bin/ and that folder exists; a
// folder "layouts" beside the program file otherwise (a portable folder, or a
// build tree, where the build puts them there).
std::string ShippedLayoutFolder(const std::string& programFile);

}  // namespace tapwell::store
