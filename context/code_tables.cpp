#include "context/code_tables.h"

namespace tendrix::context {

const CodeTable& PayTypeNames() {
    // The table keeps its columns.
    // clang-format off
    static const CodeTable table = {
        {0, "全部"},           {1, "支付宝"},           {2, "支付宝统计"},     {4, "微信"},
        {5, "微信统计"},       {6, "百度支付统计"},     {7, "百度支付"},       {8, "易付宝统计"},
        {10, "易付宝"},        {11, "翼支付统计"},      {13, "翼支付"},        {15, "京东钱包统计"},
        {16, "京东钱包"},      {18, "银联统计"},        {19, "银行卡"},        {22, "支付宝服务商"},
        {24, "QQ钱包统计"},    {25, "QQ钱包"},          {26, "支付宝校园卡"},  {27, "平安统计"},
        {28, "支付宝ISV"},     {29, "平安支付宝"},      {30, "平安微信"},      {31, "支付宝预付款"},
        {32, "浦发支付宝"},    {33, "浦发微信"},        {34, "厦门民生支付宝"}, {35, "厦门民生微信"},
        {36, "易路通快捷"},    {37, "平安翼支付"},      {38, "平安京东"},      {39, "云闪付"},
        {40, "口碑门店"},      {41, "荣邦同名B2C"},     {42, "荣邦同名快捷"},  {48, "招商微信"},
        {49, "招商支付宝"},    {50, "校园卡支付（四川）"}, {51, "中信支付宝"},  {52, "中信微信"},
        {53, "中信银联"},      {55, "云支付支付宝"},    {56, "云支付微信"},    {57, "钱台支付宝"},
        {58, "钱台微信"},      {76, "新大陆微信"},      {77, "新大陆支付宝"},  {91, "电信积分兑换"},
        {92, "财付通快捷"},    {93, "资金结算"},        {109, "微信预付款"},
    };
    // clang-format on
    return table;
}

const CodeTable& OrderStatusNames() {
    // The table keeps its columns.
    // clang-format off
    static const CodeTable table = {
        {0, "全部"},    {1, "待付款"},   {4, "已取消"},   {7, "已付款"},
        {9, "申请退款"}, {10, "已退款"}, {11, "部分退款"}, {13, "超时"},
        {17, "查询使用"}, {18, "提现成功"}, {19, "提现失败"}, {20, "提现中"},
    };
    // clang-format on
    return table;
}

int CodeForName(const CodeTable& table, const std::string& name) {
    for (const auto& [code, text] : table) {
        if (text == name) return code;
    }
    return -1;
}

}  // namespace tendrix::context
