#pragma once

#include <QPixmap>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

// The program's only window. It keeps all of its state in its controls: the
// working text in txtEncrypt, the key in cboKey's text and the banner in
// Label1's text. Controls sit at fixed positions on a fixed-size client area,
// with fixed colours, so the window looks the same under every desktop theme.
class frmKelvane : public QWidget
{
    Q_OBJECT

public:
    explicit frmKelvane(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void clearText();
    void exitProgram();
    void rotateBanner();
    void updateWrapMode(int position, int charsRemoved, int charsAdded);

private:
    void createControls();
    void load();
    void replaceText(const QString& text);

    QPlainTextEdit* txtEncrypt;
    QPushButton* cmdEncrypt;
    QPushButton* cmdDecrypt;
    QPushButton* cmdClear;
    QPushButton* cmdExit;
    QComboBox* cboKey;
    QLabel* LabelKey;
    QLabel* Label1;
    QTimer* Timer1;
    QPixmap background_;
};
