#include "query/command_lines.h"

#include <cstdio>

namespace dumplog {
namespace {

std::string vendor_prefix(const std::string& pgm, const std::vector<std::string>& devInfo) {
    return "./" + pgm + " " + "-d" + " " + device_argument(devInfo);
}

}  // namespace

std::vector<std::string> vendor_writes(const std::string& report) {
    return {report, "in.txt", "out.bin", "tmp.txt"};
}

std::string device_argument(const std::vector<std::string>& devInfo) {
    if (devInfo.size() == 1) return devInfo[0];
    return devInfo.at(0) + "," + devInfo.at(1);
}

std::string listing_command(const std::string& pgm) { return "./" + pgm + " -l " + "|tee DriveInfo.txt"; }

std::string model_query_command(const std::string& pgm, const std::vector<std::string>& devInfo) {
    return vendor_prefix(pgm, devInfo) + " -f vucmd cdb=21 in=512 >CheckModel.txt";
}

std::string e2_query_command(const std::string& pgm, const std::vector<std::string>& devInfo) {
    return vendor_prefix(pgm, devInfo) + " -f vucmd cdb=2D in=8192 >E2.txt";
}

std::string smart_query_command(const std::string& machine, const std::vector<std::string>& devInfo) {
    const std::string program = machine == "aarch64" ? "././SmartCtl/smartctla" : "././SmartCtl/smartctl";
    if (devInfo.size() == 1) return program + " -a " + devInfo[0] + "  > SMARTInfo.txt";
    return program + " -a -d megaraid," + devInfo.at(1) + " " + devInfo.at(0) + "  > SMARTInfo.txt";
}

std::string page_number(int i) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", i);
    return number;
}

std::string page_file_name(const std::string& DriveSN, int i, const std::vector<std::string>& devInfo) {
    std::string name = "./" + DriveSN + "/" + page_number(i);
    if (devInfo.size() > 3) name += "_" + devInfo[3];
    return name + ".raw";
}

std::string page_byte(int i) {
    char lpg[8];
    std::snprintf(lpg, sizeof lpg, "%02x", static_cast<unsigned>(i) % 256);
    return lpg;
}

std::string page_command(const std::string& pgm, const std::vector<std::string>& devInfo, int i,
                         const std::string& fileName) {
    return vendor_prefix(pgm, devInfo) + " -f vucmd cdb=1C,BE,10," + page_byte(i) + ",00" +
           " in=16384 outfile=" + fileName + " >log.txt";
}

}  // namespace dumplog
