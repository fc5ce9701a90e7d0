#pragma once
// Texts shared by the printing tests: GBK from UTF-8, local times, a receipt block, a file's bytes.
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "common/text_codec.h"

namespace tendrix::printing {

inline std::string G(const std::string& utf8) {
    return common::Utf8ToGbk(utf8);
}

inline std::tm At(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi,
    t.tm_sec = s;
    return t;
}

// A receipt as the checkout writes it to the print log (GBK).
inline std::string Receipt(const std::string& order) {
    return G("测试店\r\n订单号：" + order + "\r\n-------------\r\n");
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace tendrix::printing
