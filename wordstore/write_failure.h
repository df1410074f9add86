// The words a learner is told when a write to the word banks did not go
// through: what kept it out (a full disk, a read-only file, a file another
// program holds, a damaged file) and that nothing of it was kept. Texts are
// UTF-8; the windows show them, in GBK through MessageBoxes. Any thread.
#pragma once

#include <string>

#include "base/status.h"

namespace quorvo {

// "磁盘空间不足", "词库文件只读", "词库文件正被其他程序使用", "词库文件已损坏", ...
std::string CauseText(const Status& status);
// "<cause>，这次操作没有保存，词库保持原样。"
std::string NotSavedText(const Status& status);

}  // namespace quorvo
