#include "app/about_window.h"

#include <QLabel>
#include <QPushButton>

#include "app/app_icon.h"
#include "app/controls.h"
#include "app/fonts.h"

namespace sweepwise {

Frmabout::Frmabout() {
    setWindowTitle(QString::fromUtf8("关于 Sweepwise"));
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(songTi(9));
    setBackground(this, Qt::white);
    setFixedSize(pixels(4785), pixels(3465));

    Image1 = place(new QLabel(this), "Image1", twips(120, 240, 480, 480));
    Image1->setPixmap(appIcon().pixmap(Image1->size()));
    Image1->setAccessibleName(QStringLiteral("Sweepwise"));
    Label1 = label(this, "Label1", "Sweepwise", twips(840, 360, 3855, 495));
    Label1->setFont(songTi(15, true, true));
    setTextColour(Label1, QColor(0, 128, 0));
    Label5 = label(this, "Label5", "软件版本:2.15", twips(840, 960, 2175, 255));
    Label2 = label(this, "Label2", "技术支持：sweepwise.app", twips(840, 1320, 2895, 255));
    Label3 = label(this, "Label3", "开发：Sweepwise 团队", twips(840, 1680, 2895, 375));
    Label4 = label(this, "Label4", "电子邮件：help@sweepwise.app", twips(840, 2160, 3015, 255));
    command1 = place(new QPushButton(QString::fromUtf8("确定"), this), "command1",
                     twips(840, 2760, 2775, 375));

    connect(command1, &QPushButton::clicked, this, &QWidget::close);
}

}  // namespace sweepwise
