#pragma once

#include <QLineEdit>

// A line edit for a non-negative 32-bit integer, typed in decimal or as "0x"
// and up to eight hexadecimal digits.
class ZelHexIntLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ZelHexIntLineEdit(QWidget* parent = nullptr);

    bool isHex() const;
};
