#pragma once
// Command lines of the external programs, composed by plain concatenation of
// fixed pieces and run-state values, blanks exactly as the programs expect.
#include <string>
#include <vector>

namespace dumplog {

/// What a vendor command writes at the top of the working folder: the report
/// its output is redirected into, and the tool's own scratch files.
std::vector<std::string> vendor_writes(const std::string& report);

/// Entry 0 alone for one entry; otherwise "entry0,entry1".
std::string device_argument(const std::vector<std::string>& devInfo);

/// "./" pgm " -l |tee DriveInfo.txt"
std::string listing_command(const std::string& pgm);
/// "./" pgm " -d " device " -f vucmd cdb=21 in=512 >CheckModel.txt"
std::string model_query_command(const std::string& pgm, const std::vector<std::string>& devInfo);
/// "./" pgm " -d " device " -f vucmd cdb=2D in=8192 >E2.txt"
std::string e2_query_command(const std::string& pgm, const std::vector<std::string>& devInfo);
/// smartctl (smartctla on aarch64) with "-a", port first in the MegaRAID form.
std::string smart_query_command(const std::string& machine, const std::vector<std::string>& devInfo);

/// Page index as three decimal digits: 000 .. 127.
std::string page_number(int i);
/// "./SN.../NNN.raw", with "_" and entry 3 before ".raw" when devInfo has more than three entries.
std::string page_file_name(const std::string& DriveSN, int i, const std::vector<std::string>& devInfo);
/// Page index as two lower-case hexadecimal digits: 00 .. 7f.
std::string page_byte(int i);
/// The vendor command that writes one save-log page into fileName.
std::string page_command(const std::string& pgm, const std::vector<std::string>& devInfo, int i,
                         const std::string& fileName);

}  // namespace dumplog
