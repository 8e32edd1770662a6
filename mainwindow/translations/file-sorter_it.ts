<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Impossibile caricare la lista da «%1»: %2.

Il file non è stato caricato per intero, quindi «Salva lista» chiederà un nome di file.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Il file «%1» è stato modificato sul disco da quando è stato caricato o salvato qui.

«Salva lista» chiederà quindi un nome di file, affinché la modifica non venga sovrascritta inavvertitamente.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Impossibile salvare la lista in «%1»: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>tutti i formati supportati</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>file di lista</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>file di testo</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Nessun file selezionato</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>aggiungi alla lista</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Agg.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Carica lista</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Salva lista</translation>
    </message>
</context>
</TS>
