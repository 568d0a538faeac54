// Sets an environment variable for the life of the object, then puts the old value back (or
// removes the variable when it was not set).
#pragma once

#include <QByteArray>
#include <QtGlobal>

class TEnvOverride {
public:
    TEnvOverride(const char* name, const QByteArray& value)
        : FName(name), FWasSet(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name)) {
        qputenv(name, value);
    }
    ~TEnvOverride() {
        if (FWasSet)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    const char* FName;
    bool FWasSet;
    QByteArray FOld;
};
