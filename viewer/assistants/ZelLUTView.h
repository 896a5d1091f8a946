#ifndef ZELLUTVIEW_H
#define ZELLUTVIEW_H

#include <QAbstractItemView>
#include <QPoint>
#include <QVector>

#include <qcustomplot.h>

class QKeyEvent;
class QMouseEvent;

// A look-up table model drawn as a curve and edited with the mouse. Manual
// mode (0): Ctrl + click sets one entry, Shift + drag draws. Knee mode (1):
// the table follows straight lines between knee points that the operator
// adds, drags and removes.
class ZelLUTView : public QAbstractItemView
{
    Q_OBJECT

public:
    explicit ZelLUTView(QWidget* parent = nullptr);
    ~ZelLUTView() override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

    int mode() const { return m_mode; }
    void setMode(int mode);
    // Manual mode only: the whole table as (level / maxValue)^gamma * maxValue.
    void applyGamma(double gamma);
    // Manual mode only: every entry v becomes maxValue - v.
    void invert();
    QVector<double> values() const;

    void addKneePoint(int key, int value);
    void removeSelectedKneePoint();
    void updateModelFromKnees();

    QCustomPlot* plot() const { return m_plot; }
    QCPGraph* valueGraph() const { return m_valueGraph; }
    QCPGraph* kneeGraph() const { return m_kneeGraph; }
    QString title() const;

protected slots:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QVector<int>& roles = QVector<int>()) override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;

private slots:
    void _plotMousePressEvent(QMouseEvent* event, bool& delegate);
    void _plotMouseReleaseEvent(QMouseEvent* event, bool& delegate);
    void _plotMouseMoveEvent(QMouseEvent* event, bool& delegate);
    void _plotKeyPressEvent(QKeyEvent* event, bool& delegate);
    void _plotKeyReleaseEvent(QKeyEvent* event, bool& delegate);
    void _onContextMenuRequested(QPoint pos);
    bool _selectionContained(QPoint pos, double& selectedKey);
    void _createContextMenu(QPoint pos);
    void _onActionAddPoint();
    void _onActionRemovePoint();
    void _onXAxisRangeChanged(const QCPRange& range);
    void _onYAxisRangeChanged(const QCPRange& range);

private:
    double maxIndex() const;
    double maxValue() const;
    void setEntry(int row, double value);
    void announce(int first, int last);
    void setTitle(const QString& text);
    void replot();

    QCustomPlot* m_plot = nullptr;
    int m_mode = -1;
    QCPGraph* m_valueGraph = nullptr;
    QCPGraph* m_kneeGraph = nullptr;
    bool m_drawing = false;
    bool m_kneeDragging = false;
    double m_selectedKey = 0.0;
    QPoint m_lastDrawPos;
};

#endif // ZELLUTVIEW_H
