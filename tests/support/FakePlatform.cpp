#include "FakePlatform.h"

#include "OpenFileRecord.h"

QString FakePlatform::inputBox(const QString& prompt, const QString& title) {
    inputPrompts << prompt + asked(title, 0);
    if (inputAnswers.empty())
        return {};
    const QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

bool FakePlatform::getOpenFileName(OPENFILENAME& record) {
    openDialogs.append(record);
    if (openFileAnswers.empty())
        return false;
    const std::optional<QString> answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer && storeChosenFile(record, *answer);
}

bool FakePlatform::shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) {
    trayCalls.append({message, data});
    return message != NIM_ADD || trayAddSucceeds;
}
