#include "util/Ui.h"

#include <algorithm>

namespace kv {

const char* messageTitle(MessageKind kind) {
    switch (kind) {
        case MessageKind::Warning:
            return "Avertissement";
        case MessageKind::Error:
            return "Erreur";
        case MessageKind::Information:
            return "Information";
        case MessageKind::Confirmation:
            return "Confirmation";
        case MessageKind::Notice:
            return "Korvelt";
    }
    return "Korvelt";
}

const char* answerCaption(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return "OK";
        case Answer::Cancel:
            return "Annuler";
        case Answer::Yes:
            return "&Oui";
        case Answer::No:
            return "&Non";
        case Answer::YesToAll:
            return "Oui pour &tous";
    }
    return "OK";
}

std::vector<Answer> answersOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return {Answer::Ok};
        case Buttons::OkCancel:
            return {Answer::Ok, Answer::Cancel};
        case Buttons::YesNo:
            return {Answer::Yes, Answer::No};
        case Buttons::YesNoCancel:
            return {Answer::Yes, Answer::No, Answer::Cancel};
        case Buttons::YesCancel:
            return {Answer::Yes, Answer::Cancel};
        case Buttons::YesAllNoCancel:
            return {Answer::Yes, Answer::YesToAll, Answer::No, Answer::Cancel};
    }
    return {Answer::Ok};
}

Answer escapeAnswer(Buttons buttons) {
    const std::vector<Answer> answers = answersOf(buttons);
    for (Answer wanted : {Answer::Cancel, Answer::No})
        if (std::find(answers.begin(), answers.end(), wanted) != answers.end()) return wanted;
    return answers.front();
}

}  // namespace kv
