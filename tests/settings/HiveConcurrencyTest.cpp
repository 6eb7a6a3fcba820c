#include "Registry.h"

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "HiveFolder.h"

namespace {

const std::string SharedKey = "Software\\Velmarco\\XML";
constexpr int ValuesPerWriter = 200;

std::string ValueName(int writer, int index)
{
    return "W" + std::to_string(writer) + "_" + std::to_string(index);
}

// Writes the writer's values: integers and strings alternating, each under its own
// name, and a key of the writer's own.
void WriteValues(int writer)
{
    TRegistry registry;
    if (!registry.OpenKey(SharedKey, true))
        throw ERegistryException("cannot open the shared key");
    for (int i = 0; i < ValuesPerWriter; ++i) {
        if (i % 2 == 0)
            registry.WriteInteger(ValueName(writer, i), i);
        else
            registry.WriteString(ValueName(writer, i), "text " + std::to_string(i));
    }
    TRegistry own;
    if (!own.OpenKey("Software\\Writer" + std::to_string(writer), true))
        throw ERegistryException("cannot create the writer's key");
}

pid_t StartWriterProcess(int writer)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // The child must not return into the test framework.
        try {
            WriteValues(writer);
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    return pid;
}

void ExpectAllValues(int writers)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SharedKey, false));
    for (int writer = 0; writer < writers; ++writer) {
        EXPECT_TRUE(registry.KeyExists("\\Software\\Writer" + std::to_string(writer))) << writer;
        for (int i = 0; i < ValuesPerWriter; ++i) {
            const std::string name = ValueName(writer, i);
            if (i % 2 == 0)
                EXPECT_EQ(registry.ReadInteger(name), i) << name;
            else
                EXPECT_EQ(registry.ReadString(name), "text " + std::to_string(i)) << name;
        }
    }
}

} // namespace

using HiveConcurrencyTest = HiveFolderTest;

TEST_F(HiveConcurrencyTest, ProcessesWritingOneKeyLoseNothing)
{
    constexpr int writers = 3;
    std::vector<pid_t> children;
    for (int writer = 0; writer < writers; ++writer)
        children.push_back(StartWriterProcess(writer));
    // Every child is waited for before anything may end the test, so none outlives it.
    for (const pid_t pid : children) {
        int status = 0;
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "writer process failed, status " << status;
    }
    ExpectAllValues(writers);
}

TEST_F(HiveConcurrencyTest, ReadersAlwaysSeeACompleteHive)
{
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SharedKey, true));
        registry.WriteString("Anchor", "present");
    }
    const pid_t child = StartWriterProcess(0);
    ASSERT_GT(child, 0);

    // Reads while the writer replaces the file; a torn or half-written hive would not
    // parse and the anchor would go missing.
    TRegistry reader;
    EXPECT_TRUE(reader.OpenKey(SharedKey, false));
    int status = 0;
    int reads = 0;
    int missing = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        ++reads;
        if (reader.ReadString("Anchor") != "present")
            ++missing;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer process failed, status " << status;
    EXPECT_EQ(missing, 0) << "of " << reads << " reads";
    EXPECT_EQ(reader.ReadString("Anchor"), "present");
    ExpectAllValues(1);
}

TEST_F(HiveConcurrencyTest, AccessorsOnSeveralThreadsLoseNothing)
{
    constexpr int writers = 2;
    std::vector<std::thread> threads;
    std::vector<std::string> errors(writers);
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([writer, &errors] {
            try {
                WriteValues(writer);
            } catch (const std::exception& e) {
                errors[static_cast<std::size_t>(writer)] = e.what();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& error : errors)
        EXPECT_EQ(error, "");
    ExpectAllValues(writers);
}

// A window's values are written in one update: another accessor sees none of them before
// its end, and of two processes closing at once the values of one stand whole, never the
// "Server" of one with the "Item" of the other.
TEST_F(HiveConcurrencyTest, AnUpdatesValuesStandTogether)
{
    {
        TRegistry writer;
        TRegistry reader;
        ASSERT_TRUE(writer.OpenKey(SharedKey, true));
        ASSERT_TRUE(reader.OpenKey(SharedKey, false));
        writer.BeginUpdate();
        writer.WriteString("Server", "kept back");
        writer.BeginUpdate();
        writer.WriteInteger("ASKCHANGE", 1);
        writer.EndUpdate();
        EXPECT_FALSE(reader.ValueExists("Server"));
        EXPECT_FALSE(reader.ValueExists("ASKCHANGE"));
        writer.EndUpdate();
        EXPECT_EQ(reader.ReadString("Server"), "kept back");
        EXPECT_EQ(reader.ReadInteger("ASKCHANGE"), 1);
    }
    const char* names[] = {"Server", "Item", "Filter", "ASKCHANGE", "ASKDELETE", "USEFULLITEM", "USELFSTRING"};
    for (int round = 0; round < 40; ++round) {
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        std::vector<pid_t> children;
        for (int window = 0; window < 2; ++window) {
            const pid_t pid = fork();
            if (pid == 0) {
                close(go[1]);
                char start;
                if (read(go[0], &start, 1) != 1)
                    _exit(1);
                try {
                    TRegistry registry;
                    if (!registry.OpenKey(SharedKey, true))
                        _exit(1);
                    registry.BeginUpdate();
                    for (const char* name : names)
                        registry.WriteString(name, "window " + std::to_string(window));
                    registry.EndUpdate();
                } catch (...) {
                    _exit(1);
                }
                _exit(0);
            }
            children.push_back(pid);
        }
        close(go[0]);
        // Both start at once.
        EXPECT_EQ(write(go[1], "gg", 2), 2);
        close(go[1]);
        for (const pid_t pid : children) {
            int status = 0;
            EXPECT_TRUE(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        TRegistry reader;
        ASSERT_TRUE(reader.OpenKey(SharedKey, false));
        const std::optional<std::string> first = reader.ReadString(names[0]);
        for (const char* name : names)
            EXPECT_EQ(reader.ReadString(name), first) << "round " << round << ", " << name;
    }
}
