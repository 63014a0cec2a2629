// The lengths of the text columns that the dialogs write, in characters, as db/schema.sql declares them.
#pragma once

namespace ColumnLengths {
// zol_baseinfo
inline constexpr int DevName = 100;
inline constexpr int DevIp = 50;
inline constexpr int DevMac = 50;
inline constexpr int DevPosition = 200;
inline constexpr int DevRelayIp = 50;
inline constexpr int DevMemo = 500;
// zol_scheduletask
inline constexpr int TaskMemo = 500;
// zol_user
inline constexpr int UserName = 100;
inline constexpr int UserLandname = 100;
inline constexpr int UserRemark = 500;
} // namespace ColumnLengths
