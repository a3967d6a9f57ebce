#include "util/Ui.h"

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

Answer escapeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
        case Buttons::YesCancel:
        case Buttons::YesAllNoCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

}  // namespace kv
