#include "wordapp/run_summary.h"

namespace quorvo {

QString Grouped(long long n) {
  QString digits = QString::number(n < 0 ? -n : n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
  return n < 0 ? QStringLiteral("-") + digits : digits;
}

QString ProgressText(int done, int total) {
  return QString::fromUtf8("正在查询 %1/%2").arg(Grouped(done), Grouped(total));
}

QString SummaryText(const RunCounts& counts) {
  QString text = QString::fromUtf8("查询完毕：新增 %1 个单词，查到释义 %2 个，未找到 %3 个。")
                     .arg(Grouped(counts.added), Grouped(counts.translated), Grouped(counts.notFound));
  if (counts.unreachable > 0) {
    text += counts.unreachableHost.isEmpty() ? QString::fromUtf8("\n词典服务无法连接。")
                                             : QString::fromUtf8("\n词典服务无法连接：%1").arg(counts.unreachableHost);
    text += QString::fromUtf8("\n%1 个单词没能查询，可以稍后用“重新查询未找到的单词”再试。")
                .arg(Grouped(counts.unreachable));
  }
  if (counts.kept > 0) text += QString::fromUtf8("\n%1 个单词没能查询，原有释义已保留。").arg(Grouped(counts.kept));
  if (counts.unstored > 0) {
    text += QString::fromUtf8("\n%1 个单词没能写入词库（%2），查询已停止：%3。可以稍后用“重新查询未找到的单词”再试。")
                .arg(Grouped(counts.unstored), counts.unstoredCause, counts.unstoredSample);
  }
  if (counts.distinct > 0) {
    // Rounded to the nearest whole percent.
    long long percent = (200LL * counts.known + counts.distinct) / (2LL * counts.distinct);
    text += QString::fromUtf8("\n这段文字共 %1 个单词，你已掌握 %2 个（%3%）")
                .arg(Grouped(counts.distinct), Grouped(counts.known), QString::number(percent));
  }
  if (counts.planWords > 0 && counts.planTarget > 0) {
    text += QString::fromUtf8("\n再学 %1 个单词，这段文字的覆盖率可达 %2%")
                .arg(Grouped(counts.planWords), QString::number(counts.planTarget));
  }
  return text;
}

}  // namespace quorvo
