#include "hostlib/host_classes.h"

#include "hostlib/crypto/encryption_class.h"
#include "hostlib/dll/dll_classes.h"
#include "hostlib/fs/data_file_class.h"
#include "hostlib/fs/ini_class.h"
#include "hostlib/mail/mail_class.h"
#include "hostlib/mail/mail_transfer_classes.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/structs/struct_classes.h"
#include "script/builtins/builtins.h"

namespace plumex::hostlib {

void registerHostClasses(script::Engine& engine, HostContext& context) {
  script::builtins::registerClassesThroughDate(engine);
  streams::registerStreamClasses(engine);
  script::builtins::registerClassesMathToObject(engine);
  fs::registerIniClass(engine);
  script::builtins::registerFunctionsAfterObject(engine);
  registerMailClass(engine);
  registerSendMailClass(engine);
  registerRecvMailClass(engine);
  // At the place of the Application group, after the second table of
  // global functions.
  if (context.optionGroups.record) container::registerOptionGroups(engine, context.optionGroups);
#ifdef _WIN32
  dll::registerDllClasses(engine, context.dll);  // only where DLLs can be called
#endif
  registerEncryptionClass(engine);
  fs::registerDataFileClass(engine);
  structs::registerStructClasses(engine, context.structs);
}

} // namespace plumex::hostlib
