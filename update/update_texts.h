// The fixed texts of the update road, in UTF-8 as written in this source;
// the engine hands them on in GBK (Gbk() of code_page.h).
#pragma once

namespace quorvo::texts {

inline constexpr char kUpdateAvailable[] = "软件有更新，点确定更新";
inline constexpr char kCloseWordAppFirst[] = "请先关闭原程序,然后点击开始按钮进行更新";
inline constexpr char kNothingToUpdate[] = "不需要升级，请退出";
inline constexpr char kRunStatus[] = "当前升级状态： %d/%d";
// The run did not complete: the new version is not recorded, so the next
// start of quorvo offers the update again.
inline constexpr char kRunIncomplete[] = "升级未完成：%d 个文件未能更新，下次启动将再次提示更新";
inline constexpr char kRefusedNoKey[] = "拒绝升级：此版本没有内置发布公钥";
inline constexpr char kRefusedSignature[] = "拒绝升级：升级清单的签名无效";
inline constexpr char kRefusedManifest[] = "拒绝升级：升级清单过大或不完整";
inline constexpr char kVersionNotRecorded[] = "升级未完成：无法写入config.ini，下次启动将再次提示更新";

}  // namespace quorvo::texts
