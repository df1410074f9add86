// The fixed texts the word store shows or prints, in UTF-8 as written in
// this source. The engine hands them on in GBK (Gbk() of code_page.h).
#pragma once

namespace quorvo::texts {

inline constexpr char kSyntaxError[] = "语法错误，请检查";
inline constexpr char kCreatedTable[] = "创建table的SQL成功执行.";
inline constexpr char kCreateTableFailed[] = "执行创建table的SQL 出错.";
inline constexpr char kUpdatedPleaseRefresh[] = "更新完毕，请刷新";
inline constexpr char kCannotDropBankInUse[] = "不能删除正在使用的表";
inline constexpr char kCannotDropMainWord[] = "main_word为系统默认词库，不能删除";
inline constexpr char kDropped[] = "删除成功";
inline constexpr char kEnterHotValue[] = "请输入要修改的热度值!";
inline constexpr char kRecitationAddFailed[] = "添加失败，词库中没有背诵列表。\n请在添加单词中添加新词库:main_remember";
inline constexpr char kRecitationAdded[] = "成功添加到背诵列表";
inline constexpr char kKnownShown[] = "会";
inline constexpr char kUnknownShown[] = "不会";
inline constexpr char kBadBankName[] = "词库名不能为空，也不能超过55个字节，请重新输入";
inline constexpr char kOpenFileFailed[] = "open file failed.";
inline constexpr char kBatchCommitFailed[] = "数据库正被其他程序占用，这次操作的修改没有保存。请稍后再试。";

}  // namespace quorvo::texts
