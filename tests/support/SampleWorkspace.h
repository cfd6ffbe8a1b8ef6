#pragma once

#include "support/TestDocuments.h"

#include <string>

// A model split over three files, used by the workspace tests:
// a.arxml: /Body with Speed and Door. Speed's TYPE-TREF is written relative to the base "Types"
//   (/Types), Door's FRAME-REF relative to the default base (/Body/Can), Door also holds the
//   dangling /Missing/Thing and a reference to the unknown base "Nowhere" (plain text).
// b.arxml: /Body again, with a second Speed (the first file's wins) and the sub-package Can
//   holding F1, which refers to /Body/Speed and /Types/UInt8.
// c.arxml: /Types with UInt8.
inline const char* kWorkspaceFileA = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE>
      <SHORT-NAME>Body</SHORT-NAME>
      <REFERENCE-BASES>
        <REFERENCE-BASE>
          <SHORT-LABEL>Types</SHORT-LABEL>
          <IS-DEFAULT>false</IS-DEFAULT>
          <PACKAGE-REF DEST="AR-PACKAGE">/Types</PACKAGE-REF>
        </REFERENCE-BASE>
        <REFERENCE-BASE>
          <SHORT-LABEL>Frames</SHORT-LABEL>
          <IS-DEFAULT>true</IS-DEFAULT>
          <PACKAGE-REF DEST="AR-PACKAGE">/Body/Can</PACKAGE-REF>
        </REFERENCE-BASE>
      </REFERENCE-BASES>
      <ELEMENTS>
        <I-SIGNAL UUID="a-speed">
          <SHORT-NAME>Speed</SHORT-NAME>
          <TYPE-TREF DEST="SW-BASE-TYPE" BASE="Types">UInt8</TYPE-TREF>
        </I-SIGNAL>
        <I-SIGNAL>
          <SHORT-NAME>Door</SHORT-NAME>
          <FRAME-REF DEST="CAN-FRAME">F1</FRAME-REF>
          <MISSING-REF DEST="I-SIGNAL">/Missing/Thing</MISSING-REF>
          <OTHER-REF DEST="I-SIGNAL" BASE="Nowhere">Speed</OTHER-REF>
          <DESC>Door state</DESC>
        </I-SIGNAL>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>
)";

inline const char* kWorkspaceFileB = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE>
      <SHORT-NAME>Body</SHORT-NAME>
      <ELEMENTS>
        <I-SIGNAL UUID="b-speed"><SHORT-NAME>Speed</SHORT-NAME></I-SIGNAL>
      </ELEMENTS>
      <AR-PACKAGES>
        <AR-PACKAGE>
          <SHORT-NAME>Can</SHORT-NAME>
          <ELEMENTS>
            <CAN-FRAME>
              <SHORT-NAME>F1</SHORT-NAME>
              <SIGNAL-REF DEST="I-SIGNAL">/Body/Speed</SIGNAL-REF>
              <TYPE-TREF DEST="SW-BASE-TYPE">/Types/UInt8</TYPE-TREF>
            </CAN-FRAME>
          </ELEMENTS>
        </AR-PACKAGE>
      </AR-PACKAGES>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>
)";

inline const char* kWorkspaceFileC = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR>
  <AR-PACKAGES>
    <AR-PACKAGE>
      <SHORT-NAME>Types</SHORT-NAME>
      <ELEMENTS>
        <SW-BASE-TYPE><SHORT-NAME>UInt8</SHORT-NAME></SW-BASE-TYPE>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>
)";

// Writes the three files into `folder`.
inline void WriteSampleWorkspace(const TempDir& folder)
{
    folder.Write("a.arxml", kWorkspaceFileA);
    folder.Write("b.arxml", kWorkspaceFileB);
    folder.Write("c.arxml", kWorkspaceFileC);
}

// The three files in a folder of their own, with their paths.
struct SampleFolder
{
    TempDir dir;
    std::string a = dir.Write("a.arxml", kWorkspaceFileA);
    std::string b = dir.Write("b.arxml", kWorkspaceFileB);
    std::string c = dir.Write("c.arxml", kWorkspaceFileC);
};
