#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class Connection;
class Server;

// Thread: main. Its test Connection runs on a worker thread; every signal
// between them is queued.
// Finds the servers of a new account from its e-mail address: tries the
// conventional host names of the domain one after another with a test
// connection and keeps the first incoming and the first outgoing server that
// connect.
class Wizard : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Step currentStep READ currentStep WRITE setCurrentStep NOTIFY currentStepChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail)
    Q_PROPERTY(QString login READ login WRITE setLogin)
    Q_PROPERTY(QString password READ password WRITE setPasswordText)
    Q_PROPERTY(bool saveLogin READ saveLogin WRITE setSaveLogin)
    Q_PROPERTY(bool savePassword READ savePassword WRITE setSavePassword)
    Q_PROPERTY(Server *incomingServer READ incomingServer WRITE setIncomingServer NOTIFY incomingServerQmlChanged)
    Q_PROPERTY(Server *outgoingServer READ outgoingServer WRITE setOutgoingServer NOTIFY outgoingServerQmlChanged)

public:
    enum Step {
        EMAIL_STEP = 0,
        SEARCHING_STEP = 1,
        FOUND_STEP = 2,
        NAME_STEP = 3
    };
    Q_ENUM(Step)

    explicit Wizard(QObject *parent = nullptr);
    ~Wizard() override;

    Step currentStep() const { return m_currentStep; }
    void setCurrentStep(Step step);
    QString email() const { return m_email; }
    void setEmail(const QString &email) { m_email = email; }
    QString login() const { return m_login; }
    void setLogin(const QString &login) { m_login = login; }
    QString password() const { return m_password; }
    void setPasswordText(const QString &password) { m_password = password; }
    bool saveLogin() const { return m_saveLogin; }
    void setSaveLogin(bool save) { m_saveLogin = save; }
    bool savePassword() const { return m_savePassword; }
    void setSavePassword(bool save) { m_savePassword = save; }
    Server *incomingServer() const { return m_incomingServer; }
    void setIncomingServer(Server *server);
    Server *outgoingServer() const { return m_outgoingServer; }
    void setOutgoingServer(Server *server);

    // Host names still to try, in order.
    QStringList pop3Candidates() const { return m_pop3Candidates; }
    QStringList imapCandidates() const { return m_imapCandidates; }
    QStringList smtpCandidates() const { return m_smtpCandidates; }
    // The address of the record under test, empty when none.
    Q_INVOKABLE QString serverUnderTest() const { return m_underTestAddress; }
    // Every host put under test since the search started, in order.
    QStringList attemptedServers() const { return m_attempted; }

signals:
    void queryUsernameQml();
    void queryPasswordQml();
    void queryCertificateQml(int question, QString e);
    void authFailedQml(QString e);
    void currentStepChanged();
    void incomingServerQmlChanged();
    void outgoingServerQmlChanged();
    void testConnection();
    void certificateAnswer(int question, bool answer);
    void setUsername(QString name);
    void setPassword(QString pass);

public slots:
    void nextStep();
    void reset();
    void tryCurrentServer();
    void tryNextServer();
    void certificateAnswerQml(int question, bool answer);
    void setUsernameQml(QString name, bool save);
    void setPasswordQml(QString pass, bool save);
    void onConnectionError(QString str);
    void onTestConnectionResult(bool result);

private slots:
    void onQueryUsername();
    void onQueryPassword();
    void onQueryCertificate(int question, QString text);
    void onAuthFailed(QString e);

private:
    void startSearch();
    void stopConnection();
    void wireRecord(Server *record);
    // Puts the candidate's record under test on the test connection.
    void putUnderTest(Server *record, bool incoming);
    // Ends a question that the worker thread still waits for, so that the
    // record or the thread under it can go.
    void answerOpenQuestions();
    bool hasOpenQuestions() const;

    QString m_email;
    QString m_login;
    QString m_password;
    bool m_saveLogin = false;
    bool m_savePassword = false;
    Step m_currentStep = EMAIL_STEP;
    Server *m_incomingServer = nullptr; // owned
    Server *m_outgoingServer = nullptr; // owned
    QStringList m_pop3Candidates;
    QStringList m_imapCandidates;
    QStringList m_smtpCandidates;
    std::unique_ptr<Connection> m_connection;
    // Owned by the test connection; only compared and read by address here.
    QPointer<Server> m_incomingTest;
    QPointer<Server> m_outgoingTest;
    bool m_testingOutgoing = false;
    QString m_underTestAddress;
    QStringList m_attempted;
    int m_openUsernameQuestions = 0;
    int m_openPasswordQuestions = 0;
    QList<int> m_certificateQuestions;
    // Set while an answered question lets the record under test finish
    // before the next candidate is tried.
    bool m_movingOn = false;
    int m_serial = 0;
    int m_underTestSerial = 0;
};
