// The queue of checks; see check_queue.h.
#include "analysis/check_queue.h"

#include <algorithm>

void CheckQueue::schedule(CheckJob job) {
    std::lock_guard<std::mutex> held(lock);
    if (closed) return;
    job.ticket = ++lastTicket;
    newest[job.document] = job.ticket;
    if (!waiting.count(job.document)) order.push_back(job.document);
    std::string document = job.document;
    waiting.insert_or_assign(document, std::move(job));
    arrived.notify_one();
}

void CheckQueue::forget(const std::string& document) {
    std::lock_guard<std::mutex> held(lock);
    newest.erase(document);
    if (waiting.erase(document)) order.erase(std::find(order.begin(), order.end(), document));
}

void CheckQueue::close() {
    std::lock_guard<std::mutex> held(lock);
    closed = true;
    arrived.notify_all();
}

bool CheckQueue::take(CheckJob& job) {
    std::unique_lock<std::mutex> held(lock);
    arrived.wait(held, [&] { return closed || !order.empty(); });
    if (closed) return false;
    auto found = waiting.find(order.front());
    job = std::move(found->second);
    waiting.erase(found);
    order.pop_front();
    return true;
}

bool CheckQueue::publishIfNewest(const CheckJob& job, const std::function<void()>& publish) {
    std::lock_guard<std::mutex> held(lock);
    auto found = newest.find(job.document);
    if (closed || found == newest.end() || found->second != job.ticket) return false;
    publish();
    return true;
}
