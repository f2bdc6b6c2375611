#include "app/gui/other_forms.h"

#include <QResizeEvent>

namespace tapwell::app {

const char* ChangeHistory() {
  return "Tapwell 変更履歴\n"
         "\n"
         "2026/12/07  Version 0.1.0.0  起動\n"
         "  ・起動画面、8 つのウィンドウの生成、デバッグ情報ウィンドウ\n"
         "  ・開発モードのバージョン自動記録\n"
         "2026/12/07  Version 0.1.0.0  メインウィンドウ\n"
         "  ・時計と予約、Test・Stop・Hide、メニュー、About、ヘルプ\n"
         "  ・通知領域のアイコン。通知領域がないときも起動を続ける\n"
         "  ・予約の確認を秒の境目に合わせ、取りこぼした秒を 5 秒まで確認する\n"
         "2026/12/07  Version 0.1.0.0  エンジン\n"
         "  ・キースクリプトの実行（押す・離す・打つ・待つ・終わり・起動・文字列）\n"
         "  ・一時停止と再開（Alt+Tab で元のウィンドウに戻る）\n"
         "  ・--dry-run による実行内容の確認\n"
         "\n"
         "メモ：コマンド文字\n"
         "  >  キーを押す        完成\n"
         "  <  キーを離す        完成\n"
         "  _  キーを打つ        完成\n"
         "  !  待つ（秒）        完成（小数点以下 3 桁まで）\n"
         "  #  終わり            完成\n"
         "  *  プログラムの起動  完成\n"
         "  \"  文字列を打つ      完成（Shift は押さない）\n"
         "  コマンド文字はキー名や文字列にまず現れない記号から選んだ。\n"
         "  空白は引数の一部なので、コマンドの間に空白を入れないこと。\n"
         "\n"
         "予定\n"
         "  ・スクリプトファイルの保存と読み込み、短縮の記録\n"
         "  ・ユーザーボタンパネルとボタンエディタ、仮想キーボード\n"
         "  ・Wayland とコンソール用のキー入力\n";
}

TLog::TLog() {
  setObjectName(QStringLiteral("Log"));
  setWindowTitle(QStringLiteral("デバッグ情報"));
  setOuterGeometry(206, 125, 539, 372);
  Log1 = new QListWidget(this);
  Log1->setObjectName(QStringLiteral("Log1"));
  Log1->setGeometry(0, 0, 177, 345);
  updataLog = new QPlainTextEdit(QString::fromUtf8(ChangeHistory()), this);
  updataLog->setObjectName(QStringLiteral("updataLog"));
  updataLog->setGeometry(176, 0, 353, 185);
  Memo2 = new QPlainTextEdit(QStringLiteral("Memo2"), this);
  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setGeometry(176, 184, 353, 161);
  QWidget::setTabOrder(Log1, updataLog);
  QWidget::setTabOrder(updataLog, Memo2);
}

void TLog::resizeEvent(QResizeEvent* event) {
  TForm::resizeEvent(event);
  // The list is aligned to the left edge and spans the client height.
  Log1->setGeometry(0, 0, Log1->width(), height());
}

const std::array<const char*, TTool::kButtons>& TTool::Captions() {
  static const std::array<const char*, kButtons> captions = {
      "A",   "B",  "C",   "D",   "E",    "F",   "G",     "H",    "I",    "J",   "K",     "L",
      "M",   "N",  "O",   "P",   "Q",    "R",   "S",     "T",    "U",    "V",   "W",     "X",
      "Y",   "Z",  "↑",   "↓",   "←",    "→",   "Shift", "Ctrl", "Alt",  "Win", "Enter", "Tab",
      "Esc", "BS", "Del", "Ins", "Home", "End", "Kanji", "Conv", "Wait", "0",   "1",     "2",
      "3",   "4",  "5",   "6",   "7",    "8",   "9",     "+",    "-",    "*",   "/",     "=",
  };
  return captions;
}

TTool::TTool() {
  setObjectName(QStringLiteral("Tool"));
  setWindowTitle(QStringLiteral("Tool"));
  setOuterGeometry(177, 111, 130, 318);
  for (int i = 0; i < kButtons; ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
    button->setText(QString::fromUtf8(Captions()[static_cast<std::size_t>(i)]));
    button->setAutoRaise(true);
    button->setGeometry((i % 5) * 24, (i / 5) * 24, 25, 25);
    SpeedButtons[static_cast<std::size_t>(i)] = button;
  }
}

TEditer::TEditer() {
  setObjectName(QStringLiteral("Editer"));
  setWindowTitle(QStringLiteral("Editer"));
  setOuterGeometry(39, 112, 544, 375);
}

}  // namespace tapwell::app
