#include "ZelAddPointDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

ZelAddPointDlg::ZelAddPointDlg(int maxX, int maxY, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ZelAddPointDlg"));
    setWindowTitle(QStringLiteral("Add Point"));
    setWindowModality(Qt::WindowModal);
    resize(180, 69);
    setMaximumSize(180, 100);

    auto* vertical = new QVBoxLayout(this);
    vertical->setObjectName(QStringLiteral("verticalLayout"));
    const int side = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    vertical->setContentsMargins(side, 9, side, 9);
    auto* horizontal = new QHBoxLayout;
    horizontal->setObjectName(QStringLiteral("horizontalLayout"));
    horizontal->setSpacing(6);
    vertical->addLayout(horizontal);

    auto spin = [this](const char* name, int maximum) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setMinimumWidth(60);
        box->setRange(0, maximum);
        return box;
    };
    auto* labelX = new QLabel(QStringLiteral("X"), this);
    labelX->setObjectName(QStringLiteral("label"));
    m_spinX = spin("spinX", maxX);
    auto* labelY = new QLabel(QStringLiteral("Y"), this);
    labelY->setObjectName(QStringLiteral("label_2"));
    m_spinY = spin("spinY", maxY);
    horizontal->addWidget(labelX);
    horizontal->addWidget(m_spinX);
    horizontal->addWidget(labelY);
    horizontal->addWidget(m_spinY);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setObjectName(QStringLiteral("btnBox"));
    buttons->setCenterButtons(true);
    vertical->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QPoint ZelAddPointDlg::point() const
{
    return QPoint(m_spinX->value(), m_spinY->value());
}
