<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Seznam nelze načíst z „%1“: %2.

Soubor se nenačetl celý, proto se „Uložit“ zeptá na název souboru.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Soubor „%1“ byl na disku změněn od chvíle, kdy byl zde načten nebo uložen.

„Uložit“ se proto zeptá na název souboru, aby změna nebyla nepozorovaně přepsána.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Seznam nelze uložit do „%1“: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>všechny podporované</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>soubory seznamů</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>textové soubory</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Nebyl vybrán žádný soubor</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Chyba</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>přidat do seznamu</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Přid.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Načíst</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Uložit</translation>
    </message>
</context>
</TS>
