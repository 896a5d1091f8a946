#pragma once

#include <QLineEdit>

class QToolButton;

// A search field with a button that shows a search image while the field is
// empty and clears the field otherwise.
class ZelSearchLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ZelSearchLineEdit(QWidget* parent = nullptr);

    QToolButton* searchButton() const { return m_button; }

public slots:
    void updateSearchButton(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void _onButtonClicked();

private:
    int frameWidth() const;

    QToolButton* m_button;
};
