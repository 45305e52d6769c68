// Mapping of errno and resolver results to the system's error numbering.
#include <cerrno>
#include <netdb.h>

#include "platform/last_error.h"

namespace kelda::platform {

uint32_t error_from_errno(int e) noexcept {
  switch (e) {
    case 0: return error::success;
    case ENOENT: return error::file_not_found;
    case ENOTDIR: return error::path_not_found;
    case EMFILE:
    case ENFILE: return error::too_many_open_files;
    case EACCES:
    case EPERM:
    case EROFS: return error::access_denied;
    case EBADF: return error::invalid_handle;
    case ENOMEM: return error::not_enough_memory;
    case EEXIST: return error::already_exists;
    case EINVAL: return error::invalid_parameter;
    case ENAMETOOLONG: return error::invalid_name;
    case EPIPE: return error::broken_pipe;
    case ENOSPC: return error::write_fault;
    case EIO: return error::read_fault;
    case ETIMEDOUT: return error::timeout;
    case ECANCELED: return error::operation_aborted;
    case ENOSYS:
    case ENOTSUP: return error::not_supported;
    default: return error::invalid_function;
  }
}

uint32_t socket_error_from_errno(int e) noexcept {
  switch (e) {
    case 0: return 0;
    case EINTR: return socket_error::interrupted;
    case EBADF: return socket_error::bad_file;
    case EACCES: return socket_error::access;
    case EFAULT: return socket_error::fault;
    case EINVAL: return socket_error::invalid_argument;
    case EMFILE:
    case ENFILE: return socket_error::too_many_sockets;
    case EAGAIN: return socket_error::would_block;
    case EINPROGRESS: return socket_error::in_progress;
    case EALREADY: return socket_error::already;
    case ENOTSOCK: return socket_error::not_socket;
    case EDESTADDRREQ: return socket_error::destination_required;
    case EMSGSIZE: return socket_error::message_size;
    case EPROTOTYPE: return socket_error::protocol_type;
    case ENOPROTOOPT: return socket_error::no_protocol_option;
    case EPROTONOSUPPORT: return socket_error::protocol_not_supported;
    case ESOCKTNOSUPPORT: return socket_error::socket_type_not_supported;
    case EOPNOTSUPP: return socket_error::operation_not_supported;
    case EAFNOSUPPORT: return socket_error::family_not_supported;
    case EADDRINUSE: return socket_error::address_in_use;
    case EADDRNOTAVAIL: return socket_error::address_not_available;
    case ENETDOWN: return socket_error::network_down;
    case ENETUNREACH: return socket_error::network_unreachable;
    case ENETRESET: return socket_error::network_reset;
    case ECONNABORTED: return socket_error::connection_aborted;
    case EPIPE:
    case ECONNRESET: return socket_error::connection_reset;
    case ENOBUFS: return socket_error::no_buffers;
    case EISCONN: return socket_error::is_connected;
    case ENOTCONN: return socket_error::not_connected;
    case ESHUTDOWN: return socket_error::shutdown;
    case ETIMEDOUT: return socket_error::timed_out;
    case ECONNREFUSED: return socket_error::connection_refused;
    case EHOSTDOWN: return socket_error::host_down;
    case EHOSTUNREACH: return socket_error::host_unreachable;
    default: return socket_error::invalid_argument;
  }
}

uint32_t socket_error_from_gai(int r) noexcept {
  switch (r) {
    case 0: return 0;
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
      return socket_error::host_not_found;
    case EAI_AGAIN: return socket_error::try_again;
    case EAI_FAIL: return socket_error::no_recovery;
    case EAI_MEMORY: return socket_error::no_buffers;
    case EAI_FAMILY: return socket_error::family_not_supported;
    case EAI_SOCKTYPE: return socket_error::socket_type_not_supported;
    case EAI_SERVICE: return socket_error::no_data;
    default: return socket_error::no_recovery;
  }
}

}  // namespace kelda::platform
