#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QButtonGroup;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace zandrel {

class Measurement;
class MeasurementFormatter;

// The base of every sheet: a small dialog run window-modal on its host window (the document
// window). The application controller holds the controller from construction until close, which
// lets go of it; nothing else keeps it. Subclasses build their controls, bind text fields to their
// properties, fill them in showWindow and commit through the document when the user confirms.
//
// Fields are bound to properties by key: a bound field shows the property and writes it back when
// editing ends (Return or leaving the field) and when the sheet commits. An emptied field asks
// setNilValueForKey for the key's default; a number the field refuses (not a number, out of its
// limits) leaves the property as it was, and makeFirstResponder then answers false after telling
// the user why, so that OK does nothing until the field is mended.
class DialogController : public QObject {
    Q_OBJECT

public:
    // Builds the (empty) sheet on the host window; nibName names the sheet, as the window's object
    // name. Construct through create(), which makes the application controller hold the controller.
    DialogController(QWidget* hostWindow, const QString& nibName);
    ~DialogController() override;

    // A new controller of the class, held by the application controller until it closes.
    template <class T, class... Args> static T* create(Args&&... args)
    {
        std::shared_ptr<T> controller(new T(std::forward<Args>(args)...), &DialogController::release);
        hold(controller);
        return controller.get();
    }

    QDialog* sheet() const { return m_sheet; }
    QWidget* hostWindow() const { return m_hostWindow; }
    const QString& nibName() const { return m_nibName; }
    bool isShown() const;

    // Shows the bound properties in their fields and runs the sheet on the host window; returns at
    // once. Subclasses put the model's values into their properties first.
    virtual void showWindow();
    // Ends the sheet and lets go of the controller, which is freed at the next pass of the event loop.
    virtual void close();
    // Cancel.
    virtual void cancelDialog();

    // Ends field editing: every bound field writes its property. False when a field refused its text
    // (the user is told, the field gets the focus): the confirming action then does nothing.
    bool makeFirstResponder();
    // An emptied field bound to a scalar: puts the key's default into its property. The base knows
    // no default and answers false, so the field refuses the empty text.
    virtual bool setNilValueForKey(const QString& key);
    // Tells the user on the sheet; the sheet stays open.
    void showAlertMessage(const QString& message, const QString& explanation = QString());
    // The bound properties shown again in their fields.
    void refreshFields();
    // The same for the fields that do not hold text of the user's waiting to be taken (or refused):
    // what other fields show after one of them changed the values they depend on.
    void refreshUneditedFields();

    // The message a field gives when it refuses text; "" when it takes it. For tests and the sheets.
    static QString integerRangeMessage(qint64 minimum, qint64 maximum);
    static QString numberRangeMessage(double minimum, double maximum);
    static QString lengthRangeMessage(float minimumPixels, float maximumPixels);
    // A number as the fields show it: at most the digits given after the point, no trailing zeros.
    static QString formatNumber(double value, int decimals = 2);
    // The number in the text (C locale, else the user's); nothing for text that is not a finite number.
    static std::optional<double> parseNumber(const QString& text);

signals:
    // The sheet closed (OK or Cancel); sent before the controller is let go.
    void closed();

protected:
    // --- Building the sheet ---
    // The sheet's form: a label and a control a row.
    QFormLayout* form() const { return m_form; }
    QLineEdit* addField(const QString& label, const QString& objectName);
    // Radio buttons with the ids the sheet reads as tags, in a row of the form; the first is checked.
    QButtonGroup* addRadioGroup(const QString& label, const QList<std::pair<QString, int>>& choices);
    // OK and Cancel at the bottom; OK runs the action (the confirming action of the sheet).
    QDialogButtonBox* addButtons(const QString& okTitle, std::function<void()> ok);

    // --- Binding fields to properties ---
    void bindInteger(QLineEdit* field, const QString& key, std::function<qint64()> get,
        std::function<void(qint64)> set, qint64 minimum, qint64 maximum);
    void bindNumber(QLineEdit* field, const QString& key, std::function<double()> get,
        std::function<void(double)> set, double minimum, double maximum, int decimals = 2);
    // A field of its own bound to a plain integer member, named after its key.
    QLineEdit* addIntegerField(
        const QString& label, const QString& key, int& value, qint64 minimum, qint64 maximum);
    void bindText(QLineEdit* field, std::function<QString()> get, std::function<void(const QString&)> set);
    // A length field: shows the measurement in the display units and writes its pixels; the
    // formatter's limits (in the display units) refuse what lies outside. An emptied field keeps the
    // length.
    void bindMeasurement(QLineEdit* field, Measurement* measurement, MeasurementFormatter* formatter);

private:
    struct Binding {
        QPointer<QLineEdit> field;
        std::function<void()> show;
        // "" when the text was taken; the refusal's message otherwise.
        std::function<QString()> commit;
    };
    static void release(DialogController* controller);
    static void hold(const std::shared_ptr<DialogController>& controller);
    void addBinding(Binding binding);
    QString commitNumberText(QLineEdit* field, const QString& key, double minimum, double maximum,
        bool integral, const std::function<void(double)>& set);

    QPointer<QWidget> m_hostWindow;
    QPointer<QDialog> m_sheet;
    QFormLayout* m_form = nullptr;
    QString m_nibName;
    std::vector<Binding> m_bindings;
    bool m_closing = false;
};

} // namespace zandrel
