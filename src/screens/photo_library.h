#pragma once

#include <QString>
#include <functional>

// Permission to open the user's pictures. The answer is kept in the settings; while it is
// not determined, requestAuthorization asks the user once with an alert over the top
// screen, remembers the answer and reports it on the main thread.
class PhotoLibrary {
public:
    PhotoLibrary() = delete;

    enum class AuthorizationStatus : int {
        notDetermined = 0,
        restricted = 1,
        denied = 2,
        authorized = 3,
        limited = 4,
    };

    // The settings key the answer is kept under.
    static inline const QString settingsKey = QStringLiteral("photoLibraryAuthorization");

    static AuthorizationStatus authorizationStatus();
    // Calls handler on the main thread, after the current event, with the status: the
    // stored one, or once the user has answered the question. Requests made while the
    // question is open share its answer. When no screen can show the question, or it
    // goes away unanswered, the handler gets notDetermined and nothing is stored.
    static void requestAuthorization(std::function<void(AuthorizationStatus)> handler);
    // Stores an answer (a settings screen changes it here); notDetermined forgets it.
    static void setAuthorizationStatus(AuthorizationStatus status);

    // The question's wording.
    static inline const QString requestTitle = QStringLiteral("Open your pictures?");
    static inline const QString requestMessage = QStringLiteral(
        "Tilebloom needs access to your Pictures folder to turn a photo into a blocky "
        "picture.");
    static inline const QString allowTitle = QStringLiteral("Allow");
    static inline const QString denyTitle = QStringLiteral("Don\u2019t Allow");
};
