// The checks waiting to run, at most one per document, handed from the thread that receives the
// editor's changes to the one thread that runs the interpreter. A change that arrives while its
// document's check waits takes that check's place (changes faster than checks are coalesced),
// and a check's result is published only while nothing newer of its document has arrived, so a
// newer buffer is never answered with an older result.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "analysis/check.h"

struct CheckJob {
    std::string document;                      // the editor's name for it
    std::int64_t version = 0;                  // the editor's version of the text
    std::shared_ptr<const std::string> text;
    ScriptPlace place;
    std::uint64_t ticket = 0;                  // given by the queue: later jobs, larger tickets
};

class CheckQueue {
public:
    // The newest text of a document: replaces its waiting job, or joins the end of the queue.
    void schedule(CheckJob job);
    // The document was closed: its waiting job goes, and no result of it is published.
    void forget(const std::string& document);
    // No more jobs: take returns false from now on, and no result is published.
    void close();
    // Waits for the oldest waiting job; false once the queue is closed.
    bool take(CheckJob& job);
    // Calls publish, holding the queue, if the job is still its document's newest; a job
    // scheduled meanwhile waits until publish has returned. True when it was called.
    bool publishIfNewest(const CheckJob& job, const std::function<void()>& publish);

private:
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<std::string> order;                 // documents with a waiting job, oldest first
    std::map<std::string, CheckJob> waiting;       // their jobs
    std::map<std::string, std::uint64_t> newest;   // each open document's newest ticket
    std::uint64_t lastTicket = 0;
    bool closed = false;
};
