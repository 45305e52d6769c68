// Our own English texts for the system and socket error codes the system
// meets. The table is sorted by code for a binary search.
#include "platform/error_text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kelda::platform {

namespace {

struct ErrorEntry {
  uint32_t code;
  std::string_view text;
};

constexpr ErrorEntry kTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {13, "The data is invalid."},
    {14, "Not enough storage is available to complete this operation."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {38, "Reached the end of the file."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {122, "The data area passed to a system call is too small."},
    {123, "The file name, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {183, "Cannot create a file when that file already exists."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {288, "Attempt to release mutex not owned by caller."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {1223, "The operation was canceled by the user."},
    {1444, "Invalid thread identifier."},
    {1460, "This operation returned because the timeout period expired."},
    {1816, "Not enough quota is available to process this command."},
    {10004, "A blocking operation was interrupted."},
    {10009, "The file handle supplied is not valid."},
    {10013, "An attempt was made to access a socket in a way forbidden by its access permissions."},
    {10014, "The system detected an invalid pointer address in attempting to use a pointer argument in a call."},
    {10022, "An invalid argument was supplied."},
    {10024, "Too many open sockets."},
    {10035, "A non-blocking socket operation could not be completed immediately."},
    {10036, "A blocking operation is currently executing."},
    {10037, "An operation was attempted on a non-blocking socket that already had an operation in progress."},
    {10038, "An operation was attempted on something that is not a socket."},
    {10039, "A required address was omitted from an operation on a socket."},
    {10040, "A message sent on a datagram socket was larger than the internal message buffer."},
    {10041, "A protocol was specified that does not support the semantics of the socket type requested."},
    {10042, "An unknown, invalid, or unsupported option or level was specified."},
    {10043, "The requested protocol has not been configured into the system."},
    {10044, "The support for the specified socket type does not exist in this address family."},
    {10045, "The attempted operation is not supported for the type of object referenced."},
    {10047, "An address incompatible with the requested protocol was used."},
    {10048, "Only one usage of each socket address is normally permitted."},
    {10049, "The requested address is not valid in its context."},
    {10050, "A socket operation encountered a dead network."},
    {10051, "A socket operation was attempted to an unreachable network."},
    {10052, "The connection has been broken due to keep-alive activity detecting a failure."},
    {10053, "An established connection was aborted by the software in your host machine."},
    {10054, "An existing connection was forcibly closed by the remote host."},
    {10055, "No buffer space was available for a socket operation."},
    {10056, "A connect request was made on an already connected socket."},
    {10057, "The socket is not connected."},
    {10058, "The socket had already been shut down."},
    {10060, "The connection attempt failed because the connected party did not respond in time."},
    {10061, "No connection could be made because the target machine actively refused it."},
    {10064, "A socket operation failed because the destination host was down."},
    {10065, "A socket operation was attempted to an unreachable host."},
    {11001, "No such host is known."},
    {11002, "This is usually a temporary error during hostname resolution."},
    {11003, "A non-recoverable error occurred during a database lookup."},
    {11004, "The requested name is valid, but no data of the requested type was found."},
};

constexpr bool sorted_by_code() {
  for (std::size_t i = 1; i < std::size(kTexts); ++i) {
    if (kTexts[i - 1].code >= kTexts[i].code) return false;
  }
  return true;
}
static_assert(sorted_by_code());

}  // namespace

std::optional<std::string> system_error_text(uint32_t code) {
  auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), code,
                             [](const ErrorEntry& e, uint32_t c) { return e.code < c; });
  if (it == std::end(kTexts) || it->code != code) {
    return std::nullopt;
  }
  return std::string(it->text);
}

}  // namespace kelda::platform
