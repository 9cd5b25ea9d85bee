#include "platform/widgets/DialogData.h"

#include "platform/Prompts.h"

#include <QLineEdit>

bool ReadIntField(QLineEdit *edit, qint32 min, qint32 max, qint32 &value)
{
    bool ok = false;
    const qint32 typed = edit->text().toInt(&ok);
    QString refusal;
    if (!ok)
        refusal = QStringLiteral("Please enter an integer.");
    else if (typed < min || typed > max)
        refusal = QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max);
    if (!refusal.isEmpty()) {
        Prompts::Instance().Message(refusal, Prompts::Icon::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = typed;
    return true;
}
