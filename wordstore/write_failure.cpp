#include "wordstore/write_failure.h"

namespace quorvo {

std::string CauseText(const Status& status) {
  switch (status.code()) {
    case StatusCode::kDiskFull:
      return "磁盘空间不足";
    case StatusCode::kReadOnly:
      return "词库文件只读";
    case StatusCode::kBusy:
      return "词库文件正被其他程序使用";
    case StatusCode::kDamaged:
      return "词库文件已损坏";
    case StatusCode::kNotFound:
      return "词库文件或词库不存在";
    case StatusCode::kCancelled:
      return "操作已取消";
    case StatusCode::kRejected:
      return "这个词库无法修改";
    case StatusCode::kRefused:
      return "操作没有进行";
    case StatusCode::kIoError:
      return "词库文件读写出错";
    case StatusCode::kOk:
      break;
  }
  return "";
}

std::string NotSavedText(const Status& status) { return CauseText(status) + "，这次操作没有保存，词库保持原样。"; }

}  // namespace quorvo
