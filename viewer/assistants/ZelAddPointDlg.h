#ifndef ZELADDPOINTDLG_H
#define ZELADDPOINTDLG_H

#include <QDialog>
#include <QPoint>

class QDialogButtonBox;
class QSpinBox;

// Asks for one knee point: X from 0 to maxX, Y from 0 to maxY.
class ZelAddPointDlg : public QDialog
{
    Q_OBJECT

public:
    ZelAddPointDlg(int maxX, int maxY, QWidget* parent = nullptr);

    QPoint point() const;
    QSpinBox* spinX() const { return m_spinX; }
    QSpinBox* spinY() const { return m_spinY; }

private:
    QSpinBox* m_spinX = nullptr;
    QSpinBox* m_spinY = nullptr;
};

#endif // ZELADDPOINTDLG_H
