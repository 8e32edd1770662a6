<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>No se puede cargar la lista de «%1»: %2.

El archivo no se cargó completo, así que «Guardar lista» pedirá un nombre de archivo.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>El archivo «%1» ha cambiado en el disco desde que se cargó o se guardó aquí.

«Guardar lista» pedirá un nombre de archivo, para que el cambio no se sobrescriba sin que usted lo vea.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>No se puede guardar la lista en «%1»: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>todos los admitidos</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>archivos de lista</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>archivos de texto</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>No se ha seleccionado ningún archivo</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>agregar a la lista</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Agr.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Cargar lista</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Guardar lista</translation>
    </message>
</context>
</TS>
