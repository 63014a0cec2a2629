// The about box: a fixed dialog with the product picture, the application title and the build.
#include "windows/AboutBox.h"

#include "console/Icons.h"
#include "foundation/BuildInfo.h"
#include "platform/Application.h"
#include "windows/DialogKit.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox* AboutBox = nullptr;

namespace {
constexpr int PictureWidth = 163;
constexpr int PictureHeight = 123;
} // namespace

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("关于我们"));
    DialogKit::SetFixedDialogFlags(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(PictureWidth, PictureHeight);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(Icons::ProductPicture());

    ProductName = new QLabel(QString::fromUtf8(ApplicationTitle), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Version = new QLabel(QStringLiteral("ZOL Build Version  ") + QString::fromLatin1(BuildNumber),
                         Panel1);
    Version->setObjectName(QStringLiteral("Version"));

    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->addWidget(ProgramIcon);
    auto* texts = new QVBoxLayout;
    texts->addStretch();
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addStretch();
    panelLayout->addLayout(texts);

    OKButton = new QPushButton(QStringLiteral("确定"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
