# The launcher's sources, by layer. The pure ones include no Windows header
# beyond its types: the native build under the sanitizers and the fuzzers
# compile the same list.
set(TARVIK_PURE_SOURCES
  base/errors.cpp
  app/logo.cpp
  server/datagram.cpp
  server/poll_rules.cpp
  settings/first_run.cpp
  settings/flag.cpp
  simulator/condor.cpp
  simulator/connection_rules.cpp
  update/minisign.cpp
  update/update_rules.cpp
  update/url.cpp
)

set(TARVIK_PLATFORM_SOURCES
  base/files.cpp
  base/modal_scope.cpp
  base/process.cpp
  base/system_library.cpp
  base/timer.cpp
  settings/folder_chooser.cpp
  settings/ini_file.cpp
  settings/launcher_settings.cpp
  settings/registry_key.cpp
  server/status_client.cpp
  server/status_poll.cpp
  simulator/connection.cpp
  base/task_dialog.cpp
  update/download.cpp
  update/progress_dialog.cpp
  update/signature_check.cpp
  update/transfer.cpp
  update/updater.cpp
  update/updater_fetch.cpp
  app/application.cpp
  app/checkbox.cpp
  app/dialogs.cpp
  app/dpi.cpp
  app/layout.cpp
  app/logo_jpeg.cpp
  app/main_window.cpp
  app/window_parts.cpp
  app/reporter.cpp
  app/title.cpp
)
