#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <string_view>
#include <type_traits>

// Helpers that the windows share for placing their controls as they were laid out.
namespace sweepwise {

inline constexpr int kTwipsPerPixel = 15;

inline int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect twips(int left, int top, int width, int height) {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

// Texts from the core are UTF-8, paths in them the bytes on disk: decoded for display only.
inline QString fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

inline void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    // Buttons, option buttons and check boxes among them, fill with the button colour otherwise.
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

inline void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// The name a screen reader reads for a caption: the "&" before an access key is not spoken.
inline QString spokenCaption(const QString& caption) {
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) {
            ++i;
        }
        spoken += caption[i];
    }
    return spoken;
}

// Sets a label's text and the name that screen readers and automation read with it.
inline void setLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text);
}

// Places a control; one with a caption is named by it for screen readers and automation.
template <typename Control>
Control* place(Control* control, const char* name, const QRect& geometry) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    if constexpr (std::is_base_of_v<QAbstractButton, Control>) {
        control->setAccessibleName(spokenCaption(control->text()));
    } else if constexpr (std::is_base_of_v<QGroupBox, Control>) {
        control->setAccessibleName(control->title());
    } else if constexpr (std::is_base_of_v<QLabel, Control>) {
        control->setAccessibleName(control->text());
    }
    return control;
}

inline QLabel* label(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    return place(new QLabel(QString::fromUtf8(text), parent), name, geometry);
}

// Shows a window in the middle of its screen. Its frame is known only once it is shown, so it
// moves again then, before anything is painted.
inline void showCentred(QWidget* window) {
    const auto centre = [window] {
        if (const QScreen* where = window->screen()) {
            const QSize outer = window->frameGeometry().size();
            window->move(where->availableGeometry().center() -
                         QPoint(outer.width() / 2, outer.height() / 2));
        }
    };
    centre();
    window->show();
    centre();
}

}  // namespace sweepwise
