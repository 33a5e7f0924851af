// Requests over several connections at once: a bounded set of worker threads, each with its
// own connection (the transport's per-thread connection), running numbered tasks in order.
#ifndef ZAN_PLATFORM_HTTP_PARALLEL_H_
#define ZAN_PLATFORM_HTTP_PARALLEL_H_

#include <cstddef>
#include <functional>

namespace zan::http {

// Runs task(0) .. task(count - 1) over at most `connections` worker threads. Tasks start in
// index order; once a task has thrown, no further task starts, and the tasks in flight finish.
// Returns when every started task has ended; then rethrows the exception of the failed task
// with the lowest index. With connections <= 1 or count <= 1 every task runs on the calling
// thread, one after the other, on its connection. The calling thread's request observer sees
// the requests of every worker, one call at a time. A task must not touch the calling
// thread's thread-local state.
void RunParallel(size_t count, size_t connections, const std::function<void(size_t)>& task);

// How many connections a tree transfer uses: SetTransferConnections, else the environment
// variable ZANCLIENT_CONNECTIONS (1..64) read once, else 8. 1 gives strictly sequential
// transfers on the caller's connection.
size_t GetTransferConnections();
// Process-wide; 0 returns to the environment's or the default value.
void SetTransferConnections(size_t connections);

}  // namespace zan::http

#endif
