// What a test leaves behind in the process fails it and is cleared, so that each test starts as
// in a process of its own: ctest gives every test one, but a test program run whole, shuffled or
// repeated runs them all in one.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <typeinfo>
#include <vector>

class TLeftovers : public ::testing::EmptyTestEventListener {
public:
    // Every program's checks: the files of `home`, the environment, the current folder, timers
    // and queued calls, the prompt; and each test's training colours start again.
    explicit TLeftovers(const QString& home);

    // Run before each test: the state every test starts from.
    void BeforeEach(std::function<void()> step);
    // Run after each test, before the checks of every program (a program's windows go first, so
    // that what they leave is seen): clears what the test left, one line for each thing.
    void AfterEach(std::function<QStringList()> check);

    // A process-wide value each test must leave as it found it; put back when changed.
    template <class T>
    void Keep(const char* name, std::function<T()> get, std::function<void(const T&)> set) {
        auto saved = std::make_shared<T>();
        FBefore.push_back([get, saved] { *saved = get(); });
        FKept.push_back([name, get, set, saved]() -> QStringList {
            if (Same(get(), *saved)) return {};
            set(*saved);
            return {QStringLiteral("%1 changed").arg(QLatin1String(name))};
        });
    }
    template <class T> void Keep(const char* name, T& variable) {
        Keep<T>(
            name, [&variable] { return variable; }, [&variable](const T& v) { variable = v; });
    }

    // Clears what the test left behind: one line for each thing found.
    QStringList Clear();

    void OnTestStart(const ::testing::TestInfo& test) override;
    void OnTestEnd(const ::testing::TestInfo& test) override; // fails the test by Clear's lines

private:
    template <class T> static bool Same(const T& a, const T& b) { return a == b; }
    // A hook counts as replaced when it holds another kind of callable.
    template <class R, class... A>
    static bool Same(const std::function<R(A...)>& a, const std::function<R(A...)>& b) {
        return a.target_type() == b.target_type();
    }

    std::vector<std::function<void()>> FBefore;
    std::vector<std::function<QStringList()>> FAfter;
    std::vector<std::function<QStringList()>> FKept;
};
