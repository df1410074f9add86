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
// A manifest past its expiry date: the server (or whoever sits in the way)
// keeps offering an old copy.
inline constexpr char kRefusedExpired[] = "拒绝升级：升级清单已过期，升级服务器提供的可能是旧的副本";
inline constexpr char kRefusedExpiredOn[] = "拒绝升级：升级清单已于 %s 过期，升级服务器提供的可能是旧的副本";
inline constexpr char kRefusedDuplicateName[] = "拒绝升级：升级清单把同一个文件列出了两次";
// The lock file or the staging folder cannot be made.
inline constexpr char kFolderNotWritable[] = "升级未完成：无法写入程序所在的文件夹，下次启动将再次提示更新";
// A second renova on a folder another one is updating.
inline constexpr char kRunBusy[] = "另一个升级程序正在升级此文件夹，请等它结束后再试";
// A file could not be put in place: every replaced file is back.
inline constexpr char kInstallUndone[] = "升级未完成：有文件无法替换，已恢复原有文件，下次启动将再次提示更新";
// Neither the run nor the next one could put the old files back; the
// journal stays for the next attempt.
inline constexpr char kInterruptedRunStuck[] =
    "升级未完成：无法恢复上次中断的升级，请检查文件夹的权限后重新打开升级程序";
// quorvo's check: renova as downloaded is not the one the release signed,
// or could not be downloaded at all.
inline constexpr char kUpdaterRefused[] = "下载的升级程序与签名的升级清单不符，已拒绝启动";
inline constexpr char kUpdaterNotDownloaded[] = "无法下载升级程序，请稍后再试";

}  // namespace quorvo::texts
