#include "app/gui/startup_form.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "app/version.h"
#include "core/product.h"

namespace tapwell::app {

bool ReleaseMode = true;

void ClickTakingLabel::mousePressEvent(QMouseEvent* event) {
  event->accept();
}
void ClickTakingLabel::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
}

namespace {

ClickTakingLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                            int h) {
  auto* label = new ClickTakingLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(x, y, w, h);
  return label;
}

}  // namespace

QtSplashTimer::QtSplashTimer() {
  timer_.setObjectName(QStringLiteral("Timer1"));
  timer_.setSingleShot(true);
  // A coarse timer of two seconds may fire up to 100 ms late.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    if (elapsed_) elapsed_();
  });
}

void QtSplashTimer::start(int ms, std::function<void()> elapsed) {
  elapsed_ = std::move(elapsed);
  timer_.start(ms);
}

Tstartup::Tstartup(QSize screen, SplashTimer* timer) : screen_(screen) {
  setObjectName(QStringLiteral("startup"));
  setWindowTitle(QStringLiteral("startup"));
  setBorderless(true);
  setOuterGeometry(234, 273, kWidth, kHeight);

  const ProductStrings& product = Product();
  TitleLabel = MakeLabel(this, "TitleLabel", QString::fromStdString(product.title), 48, 8, 284, 48);
  TitleLabel->setFont(ui::FormFont(48));
  VersionLabel = MakeLabel(this, "VersionLabel", QStringLiteral("version 0.00"), 144, 56, 61, 12);
  CopyRightLabel =
      MakeLabel(this, "CopyRightLabel", QString::fromStdString(product.copyright), 128, 72, 106, 12);
  SinceLabel = MakeLabel(this, "SinceLabel", QString::fromStdString(product.since), 136, 88, 91, 12);
  StopKeyLabel = MakeLabel(this, "StopKeyLabel", QStringLiteral("Pause: stop"), 0, 88, 0, 12);
  StopKeyLabel->adjustSize();
  StopKeyLabel->move(kWidth - 8 - StopKeyLabel->width(), StopKeyLabel->y());
  ReleaseCheck = new QCheckBox(QStringLiteral("Release"), this);
  ReleaseCheck->setObjectName(QStringLiteral("ReleaseCheck"));
  ReleaseCheck->setGeometry(16, 72, 65, 17);
  ReleaseCheck->setChecked(TAPWELL_RELEASE_MODE != 0);
  ReleaseCheck->setVisible(false);

  if (timer == nullptr) {
    ownTimer_ = std::make_unique<QtSplashTimer>();
    timer = ownTimer_.get();
  }
  Timer1 = timer;
  Timer1->start(kHandoverMs, [this] { Timer1Timer(); });

  FormCreate();
}

void Tstartup::FormCreate() {
  ReleaseMode = ReleaseCheck->isChecked();
  VersionLabel->setText(QString::fromStdString(Product().version));
  for (QLabel* label : {TitleLabel, VersionLabel, CopyRightLabel, SinceLabel}) label->adjustSize();

  QSize screen = screen_;
  if (!screen.isValid()) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    screen = primary ? primary->geometry().size() : QSize(kWidth, kHeight);
  }
  const QPoint at = SplashPosition(screen.width(), screen.height(), kWidth, kHeight);
  // The top first, then the left.
  move(x(), at.y());
  move(at.x(), y());
  for (QLabel* label : {TitleLabel, VersionLabel, SinceLabel, CopyRightLabel}) {
    label->move(CentredLeft(kWidth, label->width()), label->y());
  }
}

void Tstartup::Timer1Timer() {
  Timer1->stop();
  if (handedOver_)
    return;
  handedOver_ = true;
  if (!ReleaseMode && handover_.versionSnapshot)
    handover_.versionSnapshot();
  if (ReleaseMode) {
    if (handover_.setMainBorderSingle)
      handover_.setMainBorderSingle();
  } else if (handover_.showLog) {
    handover_.showLog();
  }
  if (handover_.showMain)
    handover_.showMain();
  hide();
}

void Tstartup::FormClick() {
  if (handedOver_)
    return;
  handedOver_ = true;
  if (handover_.showMain)
    handover_.showMain();
  hide();
  Timer1->stop();
}

void Tstartup::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void Tstartup::mouseReleaseEvent(QMouseEvent* event) {
  // A click: pressed and released on the splash's own surface.
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click)
    FormClick();
}

}  // namespace tapwell::app
