// update_settings.h: the settings of one update run.
#pragma once

#include "text/kvstring.h"

// Filled by the run from update.ini and the registry; the destination dialog
// reads title, updateVersion and destination and writes destination.
struct KvUpdateSettings {
  KvString guid;           // the product's key under the Uninstall key
  KvString subDir;         // sub-folder of the install folder that receives the files
  KvString title;          // product title for messages and captions
  KvString updateVersion;  // version of the update, for captions
  KvString destination;    // folder that receives the files
  KvString instanceName;   // name of the single-instance event

  void SetDefaults();
  // The caption of the run's windows: "<title> Version <version> アップデート".
  KvString Caption() const;
};

extern KvUpdateSettings UpdateSettings;
