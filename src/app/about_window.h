#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace sweepwise {

// The About window: the product's name, version, credit and contacts.
class Frmabout : public QWidget {
    Q_OBJECT

public:
    Frmabout();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label5;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* command1;
};

}  // namespace sweepwise
