#pragma once

#include <string>

// A small system description used across the engine tests:
// /Body (package) with /Body/Speed, /Body/Door and sub-package /Body/Can with /Body/Can/F1;
// /Types with /Types/UInt8. References: Speed -> /Types/UInt8 twice, F1 -> /Body/Speed,
// Door -> /Body/Speed/ (non-canonical), Door -> /Missing/Thing (dangling).
inline const char* kSampleSystem = R"(<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR xmlns="http://autosar.org/schema/r4.0">
  <AR-PACKAGES>
    <AR-PACKAGE UUID="p-body">
      <SHORT-NAME>Body</SHORT-NAME>
      <ELEMENTS>
        <I-SIGNAL UUID="s-speed">
          <SHORT-NAME>Speed</SHORT-NAME>
          <DESC><L-2 L="EN">Vehicle speed in km/h, 100% accurate</L-2></DESC>
          <TYPE-TREF DEST="TYPE">/Types/UInt8</TYPE-TREF>
          <INIT-VALUE-REF DEST="TYPE">/Types/UInt8</INIT-VALUE-REF>
        </I-SIGNAL>
        <I-SIGNAL UUID="s-door">
          <SHORT-NAME>Door</SHORT-NAME>
          <SIGNAL-REF DEST="I-SIGNAL">/Body/Speed/</SIGNAL-REF>
          <MISSING-REF DEST="I-SIGNAL">/Missing/Thing</MISSING-REF>
        </I-SIGNAL>
      </ELEMENTS>
      <AR-PACKAGES>
        <AR-PACKAGE>
          <SHORT-NAME>Can</SHORT-NAME>
          <ELEMENTS>
            <CAN-FRAME><SHORT-NAME>F1</SHORT-NAME><SIGNAL-REF DEST="I-SIGNAL">/Body/Speed</SIGNAL-REF></CAN-FRAME>
          </ELEMENTS>
        </AR-PACKAGE>
      </AR-PACKAGES>
    </AR-PACKAGE>
    <AR-PACKAGE>
      <SHORT-NAME>Types</SHORT-NAME>
      <ELEMENTS>
        <SW-BASE-TYPE><SHORT-NAME>UInt8</SHORT-NAME></SW-BASE-TYPE>
      </ELEMENTS>
    </AR-PACKAGE>
  </AR-PACKAGES>
</AUTOSAR>
)";
