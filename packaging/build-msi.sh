#!/usr/bin/env bash
# Builds the Windows installer from the .wxs the build made: wixl writes the package, then
# msibuild adds what wixl has no element for: the conditions that keep a user's .arxml program
# and leave PATH alone unless asked (ADD_TO_PATH=1), and PATH's entry itself, which is appended
# on install and taken out again on removal.
# Usage: packaging/build-msi.sh WXS VERSION OUTPUT.msi
set -euo pipefail
wxs=${1:?usage: build-msi.sh WXS VERSION OUTPUT.msi}
version=${2:?usage: build-msi.sh WXS VERSION OUTPUT.msi}
output=${3:?usage: build-msi.sh WXS VERSION OUTPUT.msi}

output=$(realpath -m "$output")

rm -f "$output.tmp"
# The .wxs names its files relative to its own folder.
(cd "$(dirname "$wxs")" && wixl --arch x64 -D Version="$version" -o "$output.tmp" "$(basename "$wxs")")
msibuild "$output.tmp" \
    -q "UPDATE \`Component\` SET \`Condition\` = 'NOT ARXML_DEFAULT OR ARXML_DEFAULT = \"Tessaro.Document\"' WHERE \`Component\` = 'ArxmlDefault'" \
    -q "CREATE TABLE \`Condition\` (\`Feature_\` CHAR(38) NOT NULL, \`Level\` SHORT NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`Feature_\`, \`Level\`)" \
    -q "INSERT INTO \`Condition\` (\`Feature_\`, \`Level\`, \`Condition\`) VALUES ('QueryOnPath', 1, 'ADD_TO_PATH = 1')" \
    -q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)" \
    -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('QueryOnPath', '=-*PATH', '[~];[INSTALLDIR]', 'QueryOnPath')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
mv "$output.tmp" "$output"
