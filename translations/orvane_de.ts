<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutBox</name>
    <message>
        <source>zlib licence</source>
        <translation>zlib-Lizenz</translation>
    </message>
    <message>
        <source>curl licence (MIT-style)</source>
        <translation>curl-Lizenz (MIT-artig)</translation>
    </message>
    <message>
        <source>OpenSSL and SSLeay licences</source>
        <translation>OpenSSL- und SSLeay-Lizenzen</translation>
    </message>
    <message>
        <source>Unicode licence (ICU)</source>
        <translation>Unicode-Lizenz (ICU)</translation>
    </message>
    <message>
        <source>MIT licence</source>
        <translation>MIT-Lizenz</translation>
    </message>
    <message>
        <source>LGPL 2.1 or later</source>
        <translation>LGPL 2.1 oder neuer</translation>
    </message>
    <message>
        <source>ISC licence</source>
        <translation>ISC-Lizenz</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Orvane Console %1&lt;/h3&gt;&lt;p&gt;Configurator and test console for the Orvane USB vehicle interface device.&lt;br&gt;Build %2, %3.&lt;/p&gt;&lt;table cellspacing=&quot;2&quot;&gt;%4&lt;/table&gt;&lt;p&gt;Firmware is written by &lt;tt&gt;bossac&lt;/tt&gt; (BOSSA, BSD 3-clause), run as a separate program.&lt;/p&gt;&lt;p&gt;Firmware descriptions are trusted when signed by %5.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Orvane Console %1&lt;/h3&gt;&lt;p&gt;Konfigurator und Testkonsole für das Orvane-USB-Fahrzeugschnittstellengerät.&lt;br&gt;Build %2, %3.&lt;/p&gt;&lt;table cellspacing=&quot;2&quot;&gt;%4&lt;/table&gt;&lt;p&gt;Die Firmware wird von &lt;tt&gt;bossac&lt;/tt&gt; (BOSSA, BSD 3-clause) geschrieben, das als eigenes Programm ausgeführt wird.&lt;/p&gt;&lt;p&gt;Firmware-Beschreibungen gelten als vertrauenswürdig, wenn sie signiert sind von %5.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>no key (none is installed)</source>
        <translation>keinem Schlüssel (es ist keiner installiert)</translation>
    </message>
    <message>
        <source>the minisign key ID %1</source>
        <translation>der minisign-Schlüssel-ID %1</translation>
    </message>
    <message>
        <source>About Orvane Console</source>
        <translation>Über Orvane Console</translation>
    </message>
</context>
<context>
    <name>AccessibleNaming</name>
    <message>
        <source>Vertical scroll bar</source>
        <translation>Vertikale Bildlaufleiste</translation>
    </message>
    <message>
        <source>Horizontal scroll bar</source>
        <translation>Horizontale Bildlaufleiste</translation>
    </message>
    <message>
        <source>%1 choices</source>
        <translation>Auswahl für %1</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>More tools</source>
        <translation>Weitere Werkzeuge</translation>
    </message>
</context>
<context>
    <name>ActionInspectorItem</name>
    <message>
        <source>Go</source>
        <translation>Ausführen</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Nach Update suchen</translation>
    </message>
    <message>
        <source>Flashing new firmware to device... Received %1: the console will quit when the update has finished.</source>
        <translation>Neue Firmware wird auf das Gerät geflasht... %1 empfangen: Die Konsole wird beendet, sobald das Update abgeschlossen ist.</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>E&amp;xport Recording</source>
        <translation>Aufzeichnung e&amp;xportieren</translation>
    </message>
    <message>
        <source>&amp;Export Plots…</source>
        <translation>Diagramme &amp;exportieren…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Device</source>
        <translation>&amp;Gerät</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Test</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Settings…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;User Guide</source>
        <translation>&amp;Benutzerhandbuch</translation>
    </message>
    <message>
        <source>&amp;About Orvane Console</source>
        <translation>&amp;Über Orvane Console</translation>
    </message>
</context>
<context>
    <name>BossacError</name>
    <message>
        <source>The flashing tool reported a failure: %1</source>
        <translation>Das Flash-Werkzeug hat einen Fehler gemeldet: %1</translation>
    </message>
    <message>
        <source>The flashing tool reported a failure: %1 (%2)</source>
        <translation>Das Flash-Werkzeug hat einen Fehler gemeldet: %1 (%2)</translation>
    </message>
    <message>
        <source>The flashing tool failed without saying why: %1.</source>
        <translation>Das Flash-Werkzeug ist ohne Angabe eines Grundes fehlgeschlagen: %1.</translation>
    </message>
    <message>
        <source>The flashing tool ended without reporting whether the firmware was written.</source>
        <translation>Das Flash-Werkzeug wurde beendet, ohne zu melden, ob die Firmware geschrieben wurde.</translation>
    </message>
</context>
<context>
    <name>BossacManager</name>
    <message>
        <source>The flashing tool printed nothing for %1 seconds and was stopped. The device may have gone away while it was being written.</source>
        <translation>Das Flash-Werkzeug hat %1 Sekunden lang nichts ausgegeben und wurde angehalten. Die Verbindung zum Gerät ist während des Schreibens möglicherweise abgebrochen.</translation>
    </message>
    <message>
        <source>After the reset %1 did not come back and several serial devices appeared (%2); the bootloader&apos;s cannot be told apart. Unplug the other devices and try again.</source>
        <translation>Nach dem Reset ist %1 nicht wieder erschienen, und es sind mehrere serielle Geräte aufgetaucht (%2); welches davon der Bootloader ist, lässt sich nicht erkennen. Ziehen Sie die anderen Geräte ab und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>After the reset into the bootloader %1 did not come back and no other serial device appeared in %2.</source>
        <translation>Nach dem Reset in den Bootloader ist %1 nicht wieder erschienen, und in %2 ist kein anderes serielles Gerät aufgetaucht.</translation>
    </message>
    <message>
        <source>The flashing tool bossac was found neither beside the application (%1) nor on the PATH. Install bossa-cli or place bossac beside the application.</source>
        <translation>Das Flash-Werkzeug bossac wurde weder neben der Anwendung (%1) noch im PATH gefunden. Installieren Sie bossa-cli oder legen Sie bossac neben die Anwendung.</translation>
    </message>
    <message>
        <source>The firmware is already being written to the device.</source>
        <translation>Die Firmware wird bereits auf das Gerät geschrieben.</translation>
    </message>
    <message>
        <source>Creating the pipe for the flashing tool failed</source>
        <translation>Die Pipe für das Flash-Werkzeug konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>Starting the flashing tool %1 failed</source>
        <translation>Das Flash-Werkzeug %1 konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>The exit status of the flashing tool could not be obtained, so whether the firmware was written is not known</source>
        <translation>Der Exit-Status des Flash-Werkzeugs konnte nicht ermittelt werden; ob die Firmware geschrieben wurde, ist daher nicht bekannt</translation>
    </message>
    <message>
        <source>Reading the output of the flashing tool failed</source>
        <translation>Die Ausgabe des Flash-Werkzeugs konnte nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>ChecksumMismatchError</name>
    <message>
        <source>the image&apos;s SHA-256 is %1, not the announced %2</source>
        <translation>der SHA-256 des Abbilds ist %1 statt des angekündigten %2</translation>
    </message>
    <message>
        <source>The downloaded firmware image does not match its published SHA-256 checksum (expected %1, received %2).</source>
        <translation>Das heruntergeladene Firmware-Abbild stimmt nicht mit seiner veröffentlichten SHA-256-Prüfsumme überein (erwartet %1, erhalten %2).</translation>
    </message>
</context>
<context>
    <name>ConsoleView</name>
    <message>
        <source>Steering wheel</source>
        <translation>Lenkrad</translation>
    </message>
    <message>
        <source>%1 request</source>
        <translation>Anforderung %1</translation>
    </message>
    <message>
        <source>Longitudinal</source>
        <translation>Längsführung</translation>
    </message>
    <message>
        <source>Brake</source>
        <translation>Bremse</translation>
    </message>
    <message>
        <source>Engine</source>
        <translation>Motor</translation>
    </message>
    <message>
        <source>No longitudinal control requested.</source>
        <translation>Keine Längsführung angefordert.</translation>
    </message>
    <message>
        <source>The longitudinal request: drag toward Engine or Brake, or hold an arrow key; it springs back to 0 when let go.</source>
        <translation>Die Längsanforderung: in Richtung Motor oder Bremse ziehen oder eine Pfeiltaste gedrückt halten; beim Loslassen springt sie auf 0 zurück.</translation>
    </message>
    <message>
        <source>Lateral</source>
        <translation>Querführung</translation>
    </message>
    <message>
        <source>Counterclockwise</source>
        <translation>Gegen den Uhrzeigersinn</translation>
    </message>
    <message>
        <source>Clockwise</source>
        <translation>Im Uhrzeigersinn</translation>
    </message>
    <message>
        <source>No lateral control requested.</source>
        <translation>Keine Querführung angefordert.</translation>
    </message>
    <message>
        <source>The lateral (steering) request: drag toward Clockwise or Counterclockwise, or hold an arrow key; it springs back to 0 when let go.</source>
        <translation>Die Queranforderung (Lenkung): in Richtung „Im Uhrzeigersinn“ oder „Gegen den Uhrzeigersinn“ ziehen oder eine Pfeiltaste gedrückt halten; beim Loslassen springt sie auf 0 zurück.</translation>
    </message>
</context>
<context>
    <name>ControlInput</name>
    <message>
        <source>%1% Brake</source>
        <translation>%1% Bremse</translation>
    </message>
    <message>
        <source>%1% Engine</source>
        <translation>%1% Motor</translation>
    </message>
    <message>
        <source>No longitudinal control requested.</source>
        <translation>Keine Längsführung angefordert.</translation>
    </message>
    <message>
        <source>%1% Clockwise</source>
        <translation>%1% im Uhrzeigersinn</translation>
    </message>
    <message>
        <source>%1% Counterclockwise</source>
        <translation>%1% gegen den Uhrzeigersinn</translation>
    </message>
    <message>
        <source>No lateral control requested.</source>
        <translation>Keine Querführung angefordert.</translation>
    </message>
</context>
<context>
    <name>DeviceConnection</name>
    <message>
        <source>Last connection to %1 lost at %2: %3.</source>
        <translation>Letzte Verbindung zu %1 um %2 verloren: %3.</translation>
    </message>
    <message>
        <source>Connection lost: %1.</source>
        <translation>Verbindung verloren: %1.</translation>
    </message>
    <message>
        <source>The device is in its bootloader: its firmware is missing or an update was interrupted.</source>
        <translation>Das Gerät befindet sich im Bootloader: Seine Firmware fehlt oder ein Update wurde unterbrochen.</translation>
    </message>
    <message>
        <source>Vehicle not responding: nothing received for %1 second.</source>
        <translation>Fahrzeug reagiert nicht: seit %1 Sekunde nichts empfangen.</translation>
    </message>
    <message>
        <source>Vehicle not responding: nothing received for %1 seconds.</source>
        <translation>Fahrzeug reagiert nicht: seit %1 Sekunden nichts empfangen.</translation>
    </message>
    <message>
        <source>Vehicle connnected</source>
        <translation>Fahrzeug verbunden</translation>
    </message>
    <message>
        <source>The bootloader answers: %1</source>
        <translation>Der Bootloader antwortet: %1</translation>
    </message>
    <message>
        <source>Disconnecting from vehicle...</source>
        <translation>Verbindung zum Fahrzeug wird getrennt...</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>No interface selected or available.</source>
        <translation>Keine Schnittstelle ausgewählt oder verfügbar.</translation>
    </message>
    <message>
        <source>Connecting to vehicle...</source>
        <translation>Verbindung zum Fahrzeug wird hergestellt...</translation>
    </message>
</context>
<context>
    <name>DeviceGroup</name>
    <message>
        <source>Connection Status</source>
        <translation>Verbindungsstatus</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>Firmware-Version</translation>
    </message>
    <message>
        <source>Build Date</source>
        <translation>Build-Datum</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Nach Update suchen</translation>
    </message>
</context>
<context>
    <name>DeviceList</name>
    <message>
        <source>Discovered %1 devices.</source>
        <translation>%1 Geräte gefunden.</translation>
    </message>
    <message>
        <source>No devices found.</source>
        <translation>Keine Geräte gefunden.</translation>
    </message>
</context>
<context>
    <name>DeviceSerialInterface</name>
    <message>
        <source>unknown error</source>
        <translation>unbekannter Fehler</translation>
    </message>
    <message>
        <source>the connection was closed on request</source>
        <translation>die Verbindung wurde auf Wunsch geschlossen</translation>
    </message>
    <message>
        <source>the device was unplugged or its line hung up</source>
        <translation>das Gerät wurde abgezogen oder seine Leitung wurde getrennt</translation>
    </message>
    <message>
        <source>reading from the device failed: %1</source>
        <translation>das Lesen vom Gerät ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>sending a request to the device failed: %1</source>
        <translation>das Senden einer Anforderung an das Gerät ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>the serial port was closed</source>
        <translation>die serielle Schnittstelle wurde geschlossen</translation>
    </message>
    <message>
        <source>the device sent data that is not the protocol (%1)</source>
        <translation>das Gerät hat Daten gesendet, die nicht dem Protokoll entsprechen (%1)</translation>
    </message>
    <message>
        <source>the device took none of a request</source>
        <translation>das Gerät hat keinen Teil einer Anforderung angenommen</translation>
    </message>
</context>
<context>
    <name>FirmwareDownload</name>
    <message>
        <source>The firmware directory %1 cannot be used: %2.</source>
        <translation>Das Firmware-Verzeichnis %1 kann nicht verwendet werden: %2.</translation>
    </message>
    <message>
        <source>Creating the firmware directory %1 failed</source>
        <translation>Das Firmware-Verzeichnis %1 konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>it is a link or not a directory</source>
        <translation>es ist ein Link oder kein Verzeichnis</translation>
    </message>
    <message>
        <source>Opening the firmware directory %1 failed</source>
        <translation>Das Firmware-Verzeichnis %1 konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Examining the firmware directory %1 failed</source>
        <translation>Das Firmware-Verzeichnis %1 konnte nicht geprüft werden</translation>
    </message>
    <message>
        <source>it belongs to another user</source>
        <translation>es gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>other users have access to it (mode %1)</source>
        <translation>andere Benutzer haben Zugriff darauf (Modus %1)</translation>
    </message>
    <message>
        <source>Creating the firmware file in %1 failed</source>
        <translation>Die Firmware-Datei in %1 konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>Writing the firmware file %1 failed</source>
        <translation>Die Firmware-Datei %1 konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Replacing the firmware file %1 failed</source>
        <translation>Die Firmware-Datei %1 konnte nicht ersetzt werden</translation>
    </message>
    <message>
        <source>the image is longer than the announced %1 bytes</source>
        <translation>das Abbild ist länger als die angekündigten %1 Byte</translation>
    </message>
    <message>
        <source>the image is %1 bytes long, not the announced %2</source>
        <translation>das Abbild ist %1 Byte lang statt der angekündigten %2</translation>
    </message>
</context>
<context>
    <name>FirmwareInformationDocument</name>
    <message>
        <source>the document is a bare value, not an object or array</source>
        <translation>das Dokument ist ein einzelner Wert, kein Objekt oder Array</translation>
    </message>
</context>
<context>
    <name>FirmwareRefusedError</name>
    <message>
        <source>The announced firmware was refused: %1</source>
        <translation>Die angekündigte Firmware wurde abgelehnt: %1</translation>
    </message>
</context>
<context>
    <name>FirmwareTrust</name>
    <message>
        <source>the description is not signed (nothing at its address + .minisig)</source>
        <translation>die Beschreibung ist nicht signiert (nichts unter ihrer Adresse + .minisig)</translation>
    </message>
    <message>
        <source>its signature cannot be read: %1</source>
        <translation>ihre Signatur kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>the description is signed by key ID %1, which is not trusted</source>
        <translation>die Beschreibung ist mit der Schlüssel-ID %1 signiert, die nicht vertrauenswürdig ist</translation>
    </message>
    <message>
        <source>a signed description must give the image&apos;s sha256 and size</source>
        <translation>eine signierte Beschreibung muss sha256 und Größe des Abbilds angeben</translation>
    </message>
    <message>
        <source>the description expired at %1</source>
        <translation>die Beschreibung ist am %1 abgelaufen</translation>
    </message>
</context>
<context>
    <name>FlashingStepError</name>
    <message>
        <source>%1 failed: %2</source>
        <translation>Schritt „%1“ fehlgeschlagen: %2</translation>
    </message>
</context>
<context>
    <name>FlashingToolOutput</name>
    <message>
        <source>the tool was ended by signal %1</source>
        <translation>das Werkzeug wurde durch Signal %1 beendet</translation>
    </message>
    <message>
        <source>the tool exited with status %1</source>
        <translation>das Werkzeug wurde mit Status %1 beendet</translation>
    </message>
    <message>
        <source>the tool ended abnormally</source>
        <translation>das Werkzeug wurde nicht ordnungsgemäß beendet</translation>
    </message>
</context>
<context>
    <name>HalvernServerUpdateProvider</name>
    <message>
        <source>the description is larger than %1 bytes</source>
        <translation>die Beschreibung ist größer als %1 Byte</translation>
    </message>
    <message>
        <source>its signature is larger than %1 bytes</source>
        <translation>ihre Signatur ist größer als %1 Byte</translation>
    </message>
    <message>
        <source>Checking for updates failed: %1</source>
        <translation>Die Suche nach Updates ist fehlgeschlagen: %1</translation>
    </message>
</context>
<context>
    <name>InformativeError</name>
    <message>
        <source>%1

Technical Details: %2</source>
        <translation>%1

Technische Details: %2</translation>
    </message>
</context>
<context>
    <name>InspectorItem</name>
    <message>
        <source>%1 (stale)</source>
        <translation>%1 (veraltet)</translation>
    </message>
</context>
<context>
    <name>InspectorManager</name>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Steering</source>
        <translation>Lenkung</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Statistik</translation>
    </message>
</context>
<context>
    <name>InspectorView</name>
    <message>
        <source>Temporarily Deactivated</source>
        <translation>Vorübergehend deaktiviert</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Nach Update suchen</translation>
    </message>
</context>
<context>
    <name>JSONError</name>
    <message>
        <source>The firmware information could not be read as JSON: %1</source>
        <translation>Die Firmware-Informationen konnten nicht als JSON gelesen werden: %1</translation>
    </message>
</context>
<context>
    <name>LateralControlMethod</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Configuring</source>
        <translation>Wird konfiguriert</translation>
    </message>
</context>
<context>
    <name>LongitudinalControlMethod</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>ManeuverBaseline</name>
    <message>
        <source>not a maneuver metrics file: %1</source>
        <translation>keine Manöver-Metrikdatei: %1</translation>
    </message>
    <message>
        <source>it has no &quot;format&quot;: &quot;%1&quot;</source>
        <translation>sie enthält kein &quot;format&quot;: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>its &quot;formatVersion&quot; is not %1</source>
        <translation>ihre &quot;formatVersion&quot; ist nicht %1</translation>
    </message>
    <message>
        <source>it names no suite SHA-256</source>
        <translation>sie nennt keinen SHA-256 der Suite</translation>
    </message>
    <message>
        <source>it has no list of &quot;repeats&quot;</source>
        <translation>sie enthält keine Liste &quot;repeats&quot;</translation>
    </message>
    <message>
        <source>a repeat has no &quot;index&quot; and &quot;repeat&quot; counting from 1</source>
        <translation>eine Wiederholung hat kein ab 1 zählendes &quot;index&quot; und &quot;repeat&quot;</translation>
    </message>
    <message>
        <source>a repeat&apos;s &quot;metrics&quot; is not an object</source>
        <translation>&quot;metrics&quot; einer Wiederholung ist kein Objekt</translation>
    </message>
    <message>
        <source>a repeat&apos;s &quot;%1&quot; is not a number</source>
        <translation>&quot;%1&quot; einer Wiederholung ist keine Zahl</translation>
    </message>
    <message>
        <source>the baseline: %1</source>
        <translation>die Referenz: %1</translation>
    </message>
    <message>
        <source>the baseline &quot;%1&quot; is %2</source>
        <translation>die Referenz „%1“ ist %2</translation>
    </message>
    <message>
        <source>the baseline was measured with another suite (SHA-256 %1, this suite&apos;s is %2): its repeats are not this suite&apos;s</source>
        <translation>die Referenz wurde mit einer anderen Suite gemessen (SHA-256 %1, die dieser Suite ist %2): ihre Wiederholungen sind nicht die dieser Suite</translation>
    </message>
</context>
<context>
    <name>ManeuverControl</name>
    <message>
        <source>after the last maneuver</source>
        <translation>nach dem letzten Manöver</translation>
    </message>
    <message>
        <source>&quot;%1&quot;, repeat %2 of %3</source>
        <translation>„%1“, Wiederholung %2 von %3</translation>
    </message>
    <message>
        <source>another suite runs</source>
        <translation>eine andere Suite läuft</translation>
    </message>
    <message>
        <source>no device is connected</source>
        <translation>kein Gerät ist verbunden</translation>
    </message>
    <message>
        <source>a button of the gamepad &quot;%1&quot; was pressed</source>
        <translation>eine Taste des Gamepads „%1“ wurde gedrückt</translation>
    </message>
    <message>
        <source>a button of the gamepad was pressed</source>
        <translation>eine Taste des Gamepads wurde gedrückt</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Abgeschlossen</translation>
    </message>
    <message>
        <source>Aborted in %1: %2</source>
        <translation>Abgebrochen (%1): %2</translation>
    </message>
</context>
<context>
    <name>ManeuverReport</name>
    <message>
        <source>report</source>
        <translation>Bericht</translation>
    </message>
</context>
<context>
    <name>ManeuverResults</name>
    <message>
        <source>cannot write the %1 %2: %3</source>
        <translation>%1 %2 kann nicht geschrieben werden: %3</translation>
    </message>
</context>
<context>
    <name>ManeuverRunControl</name>
    <message>
        <source>%1: %2 %3, %4, once with %5 to settle</source>
        <translation>%1: %2 %3, %4, einmal mit %5 zum Einschwingen</translation>
    </message>
    <message>
        <source>%1: %2 %3, %4, %5 repeats with %6 to settle</source>
        <translation>%1: %2 %3, %4, %5 Wiederholungen mit je %6 zum Einschwingen</translation>
    </message>
</context>
<context>
    <name>ManeuverSuite</name>
    <message>
        <source>unknown key %1</source>
        <translation>unbekannter Schlüssel %1</translation>
    </message>
    <message>
        <source>%1 is not a number</source>
        <translation>%1 ist keine Zahl</translation>
    </message>
    <message>
        <source>%1 is not a finite number</source>
        <translation>%1 ist keine endliche Zahl</translation>
    </message>
    <message>
        <source>%1 is missing</source>
        <translation>%1 fehlt</translation>
    </message>
    <message>
        <source>%1 %2 is negative</source>
        <translation>%1 %2 ist negativ</translation>
    </message>
    <message>
        <source>%1 %2 is not above 0</source>
        <translation>%1 %2 ist nicht größer als 0</translation>
    </message>
    <message>
        <source>%1 %2 s is longer than an hour</source>
        <translation>%1 %2 s ist länger als eine Stunde</translation>
    </message>
    <message>
        <source>&quot;limits&quot; is missing</source>
        <translation>&quot;limits&quot; fehlt</translation>
    </message>
    <message>
        <source>is not a JSON object</source>
        <translation>ist kein JSON-Objekt</translation>
    </message>
    <message>
        <source>%1 %2 is above 1, the largest request</source>
        <translation>%1 %2 ist größer als 1, die größte Anforderung</translation>
    </message>
    <message>
        <source>&quot;driverTorqueAbort&quot; %1 Nm is not above 0</source>
        <translation>&quot;driverTorqueAbort&quot; %1 Nm ist nicht größer als 0</translation>
    </message>
    <message>
        <source>&quot;driverTorqueAbort&quot; %1 Nm is beyond %2 Nm, more than a steering column carries</source>
        <translation>&quot;driverTorqueAbort&quot; %1 Nm übersteigt %2 Nm, mehr als eine Lenksäule überträgt</translation>
    </message>
    <message>
        <source>unknown profile %1 (step, ramp, sine or points)</source>
        <translation>unbekanntes Profil %1 (step, ramp, sine oder points)</translation>
    </message>
    <message>
        <source>&quot;points&quot; is missing</source>
        <translation>&quot;points&quot; fehlt</translation>
    </message>
    <message>
        <source>&quot;points&quot; is not a list of [time, value] pairs</source>
        <translation>&quot;points&quot; ist keine Liste von [Zeit, Wert]-Paaren</translation>
    </message>
    <message>
        <source>point %1 is not a [time, value] pair of numbers</source>
        <translation>Punkt %1 ist kein [Zeit, Wert]-Paar aus Zahlen</translation>
    </message>
    <message>
        <source>point %1 is not finite</source>
        <translation>Punkt %1 ist nicht endlich</translation>
    </message>
    <message>
        <source>point %1 has a negative time %2</source>
        <translation>Punkt %1 hat eine negative Zeit %2</translation>
    </message>
    <message>
        <source>point %1 lies more than an hour into the run</source>
        <translation>Punkt %1 liegt mehr als eine Stunde nach dem Start</translation>
    </message>
    <message>
        <source>point %1 at %2 s does not come after the one before</source>
        <translation>Punkt %1 bei %2 s liegt nicht nach dem vorherigen</translation>
    </message>
    <message>
        <source>the last point&apos;s time, the duration, is not above 0</source>
        <translation>die Zeit des letzten Punkts, die Dauer, ist nicht größer als 0</translation>
    </message>
    <message>
        <source>&quot;heldWithin&quot; is not a [LO, HI] pair of numbers (degrees)</source>
        <translation>&quot;heldWithin&quot; ist kein [LO, HI]-Zahlenpaar (Grad)</translation>
    </message>
    <message>
        <source>&quot;heldWithin&quot; is not finite</source>
        <translation>&quot;heldWithin&quot; ist nicht endlich</translation>
    </message>
    <message>
        <source>&quot;heldWithin&quot; [%1, %2] is empty: its low end is above its high end</source>
        <translation>&quot;heldWithin&quot; [%1, %2] ist leer: das untere Ende liegt über dem oberen</translation>
    </message>
    <message>
        <source>%1 %2 is negative: nothing can meet it</source>
        <translation>%1 %2 ist negativ: nichts kann das erfüllen</translation>
    </message>
    <message>
        <source>%1 cannot be met: a %2 has no %3 (only a step or points hold their end)</source>
        <translation>%1 ist nicht erfüllbar: ein Profil %2 hat keine Kennzahl %3 (nur step und points halten ihren Endwert)</translation>
    </message>
    <message>
        <source>%1 cannot be met: the device reports no measured response to a %2 request</source>
        <translation>%1 ist nicht erfüllbar: das Gerät meldet keine gemessene Antwort auf eine Anforderung %2</translation>
    </message>
    <message>
        <source>%1 has no expectation %1 beside it</source>
        <translation>zu %1 gibt es daneben keine Erwartung %1</translation>
    </message>
    <message>
        <source>maneuver %1</source>
        <translation>Manöver %1</translation>
    </message>
    <message>
        <source>&quot;name&quot; is missing</source>
        <translation>&quot;name&quot; fehlt</translation>
    </message>
    <message>
        <source>&quot;name&quot; is not a non-empty text</source>
        <translation>&quot;name&quot; ist kein Text oder leer</translation>
    </message>
    <message>
        <source>&quot;channel&quot; is missing</source>
        <translation>&quot;channel&quot; fehlt</translation>
    </message>
    <message>
        <source>&quot;channel&quot; %1 is neither &quot;lateral&quot; nor &quot;longitudinal&quot;</source>
        <translation>&quot;channel&quot; %1 ist weder &quot;lateral&quot; noch &quot;longitudinal&quot;</translation>
    </message>
    <message>
        <source>&quot;profile&quot; is missing</source>
        <translation>&quot;profile&quot; fehlt</translation>
    </message>
    <message>
        <source>&quot;profile&quot; is not a text</source>
        <translation>&quot;profile&quot; ist kein Text</translation>
    </message>
    <message>
        <source>&quot;frequency&quot; %1 Hz is outside the range above 0 and below 25 Hz (50 requests a second)</source>
        <translation>&quot;frequency&quot; %1 Hz liegt außerhalb des Bereichs über 0 und unter 25 Hz (50 Anforderungen pro Sekunde)</translation>
    </message>
    <message>
        <source>the profile reaches %1, beyond the %2 limit %3</source>
        <translation>das Profil erreicht %1, über der Grenze für %2 von %3</translation>
    </message>
    <message>
        <source>&quot;repeats&quot; %1 is not a whole number from 1 to 1000</source>
        <translation>&quot;repeats&quot; %1 ist keine ganze Zahl von 1 bis 1000</translation>
    </message>
    <message>
        <source>the file is not JSON: %1</source>
        <translation>die Datei ist kein JSON: %1</translation>
    </message>
    <message>
        <source>the file is not a JSON object</source>
        <translation>die Datei ist kein JSON-Objekt</translation>
    </message>
    <message>
        <source>the file</source>
        <translation>die Datei</translation>
    </message>
    <message>
        <source>&quot;maneuvers&quot; is missing</source>
        <translation>&quot;maneuvers&quot; fehlt</translation>
    </message>
    <message>
        <source>&quot;maneuvers&quot; is not a list</source>
        <translation>&quot;maneuvers&quot; ist keine Liste</translation>
    </message>
    <message>
        <source>&quot;maneuvers&quot; is empty: there is nothing to run</source>
        <translation>&quot;maneuvers&quot; ist leer: es gibt nichts auszuführen</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1 is a directory, not a maneuver file</source>
        <translation>%1 ist ein Verzeichnis, keine Manöver-Datei</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>%1 is larger than 1 MiB, more than any maneuver file</source>
        <translation>%1 ist größer als 1 MiB, mehr als jede Manöver-Datei</translation>
    </message>
</context>
<context>
    <name>McapWriter</name>
    <message>
        <source>%1: is a directory</source>
        <translation>%1: ist ein Verzeichnis</translation>
    </message>
    <message>
        <source>%1: is not a regular file</source>
        <translation>%1: ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>%1: cannot be written: the compressor could not start</source>
        <translation>%1: kann nicht geschrieben werden: der Kompressor konnte nicht starten</translation>
    </message>
    <message>
        <source>%1: cannot be written: %2</source>
        <translation>%1: kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>%1: is the recording being exported</source>
        <translation>%1: ist die Aufzeichnung, die exportiert wird</translation>
    </message>
</context>
<context>
    <name>Minisign</name>
    <message>
        <source>the signature library (libsodium) could not be initialised</source>
        <translation>die Signaturbibliothek (libsodium) konnte nicht initialisiert werden</translation>
    </message>
    <message>
        <source>%1 is larger than 4 KiB</source>
        <translation>%1 ist größer als 4 KiB</translation>
    </message>
    <message>
        <source>%1 is empty</source>
        <translation>%1 ist leer</translation>
    </message>
    <message>
        <source>%1 is not base64</source>
        <translation>%1 ist kein Base64</translation>
    </message>
    <message>
        <source>%1 holds %2 bytes, not %3</source>
        <translation>%1 enthält %2 Byte statt %3</translation>
    </message>
    <message>
        <source>%1 does not begin with an &quot;untrusted comment:&quot; line</source>
        <translation>%1 beginnt nicht mit einer Zeile &quot;untrusted comment:&quot;</translation>
    </message>
    <message>
        <source>%1 has more than two lines</source>
        <translation>%1 hat mehr als zwei Zeilen</translation>
    </message>
    <message>
        <source>the trusted comment is longer than a signature file may be</source>
        <translation>der vertrauenswürdige Kommentar ist länger, als eine Signaturdatei sein darf</translation>
    </message>
    <message>
        <source>the trusted comment is not valid UTF-8</source>
        <translation>der vertrauenswürdige Kommentar ist kein gültiges UTF-8</translation>
    </message>
    <message>
        <source>the trusted comment has control characters</source>
        <translation>der vertrauenswürdige Kommentar enthält Steuerzeichen</translation>
    </message>
    <message>
        <source>the public key file</source>
        <translation>die Datei des öffentlichen Schlüssels</translation>
    </message>
    <message>
        <source>the public key</source>
        <translation>der öffentliche Schlüssel</translation>
    </message>
    <message>
        <source>the public key uses an unknown algorithm %1</source>
        <translation>der öffentliche Schlüssel verwendet einen unbekannten Algorithmus %1</translation>
    </message>
    <message>
        <source>the signature file</source>
        <translation>die Signaturdatei</translation>
    </message>
    <message>
        <source>the signature file does not begin with an &quot;untrusted comment:&quot; line</source>
        <translation>die Signaturdatei beginnt nicht mit einer Zeile &quot;untrusted comment:&quot;</translation>
    </message>
    <message>
        <source>the signature file ends before its signature line</source>
        <translation>die Signaturdatei endet vor ihrer Signaturzeile</translation>
    </message>
    <message>
        <source>the signature line</source>
        <translation>die Signaturzeile</translation>
    </message>
    <message>
        <source>the signature uses an unknown algorithm %1</source>
        <translation>die Signatur verwendet einen unbekannten Algorithmus %1</translation>
    </message>
    <message>
        <source>the signature file ends before its trusted comment</source>
        <translation>die Signaturdatei endet vor ihrem vertrauenswürdigen Kommentar</translation>
    </message>
    <message>
        <source>the signature file&apos;s third line is not a &quot;trusted comment: &quot; line</source>
        <translation>die dritte Zeile der Signaturdatei ist keine Zeile &quot;trusted comment: &quot;</translation>
    </message>
    <message>
        <source>the signature file ends before the trusted comment&apos;s signature</source>
        <translation>die Signaturdatei endet vor der Signatur des vertrauenswürdigen Kommentars</translation>
    </message>
    <message>
        <source>the trusted comment&apos;s signature</source>
        <translation>die Signatur des vertrauenswürdigen Kommentars</translation>
    </message>
    <message>
        <source>the signature file has more than four lines</source>
        <translation>die Signaturdatei hat mehr als vier Zeilen</translation>
    </message>
    <message>
        <source>signed by key ID %1, which is not trusted</source>
        <translation>signiert mit Schlüssel-ID %1, die nicht vertrauenswürdig ist</translation>
    </message>
    <message>
        <source>the signature does not match the description</source>
        <translation>die Signatur passt nicht zur Beschreibung</translation>
    </message>
    <message>
        <source>the trusted comment&apos;s signature does not match</source>
        <translation>die Signatur des vertrauenswürdigen Kommentars passt nicht</translation>
    </message>
</context>
<context>
    <name>ModalProgressViewController</name>
    <message>
        <source>Please wait...</source>
        <translation>Bitte warten...</translation>
    </message>
</context>
<context>
    <name>OptionalNilError</name>
    <message>
        <source>A value was expected but there was not one present.</source>
        <translation>Ein Wert wurde erwartet, aber es war keiner vorhanden.</translation>
    </message>
</context>
<context>
    <name>PlotPanel</name>
    <message>
        <source>Steering Wheel Angle</source>
        <translation>Lenkradwinkel</translation>
    </message>
    <message>
        <source>Assistance Torque</source>
        <translation>Unterstützungsmoment</translation>
    </message>
    <message>
        <source>Driver Torque</source>
        <translation>Fahrermoment</translation>
    </message>
    <message>
        <source>Lateral Request</source>
        <translation>Queranforderung</translation>
    </message>
    <message>
        <source>Longitudinal Request</source>
        <translation>Längsanforderung</translation>
    </message>
    <message>
        <source>PNG image (*.png)</source>
        <translation>PNG-Bild (*.png)</translation>
    </message>
    <message>
        <source>SVG image (*.svg)</source>
        <translation>SVG-Bild (*.svg)</translation>
    </message>
    <message>
        <source>CSV file (*.csv)</source>
        <translation>CSV-Datei (*.csv)</translation>
    </message>
</context>
<context>
    <name>PortError</name>
    <message>
        <source>the serial port</source>
        <translation>die serielle Schnittstelle</translation>
    </message>
    <message>
        <source>“%1”</source>
        <translation>„%1“</translation>
    </message>
    <message>
        <source>Could not open %1: %2. Your user must be in the “dialout” group to use serial ports.</source>
        <translation>Konnte %1 nicht öffnen: %2. Ihr Benutzer muss Mitglied der Gruppe „dialout“ sein, um serielle Schnittstellen zu verwenden.</translation>
    </message>
    <message>
        <source>Could not open %1: the port is busy, it is in use by another program.</source>
        <translation>Konnte %1 nicht öffnen: die Schnittstelle ist belegt, ein anderes Programm verwendet sie.</translation>
    </message>
    <message>
        <source>Could not open %1: it is not a serial device.</source>
        <translation>Konnte %1 nicht öffnen: es ist kein serielles Gerät.</translation>
    </message>
    <message>
        <source>Could not open %1: %2.</source>
        <translation>Konnte %1 nicht öffnen: %2.</translation>
    </message>
    <message>
        <source>Could not open %1.</source>
        <translation>Konnte %1 nicht öffnen.</translation>
    </message>
    <message>
        <source>No serial port was given to open.</source>
        <translation>Es wurde keine serielle Schnittstelle zum Öffnen angegeben.</translation>
    </message>
    <message>
        <source>A serial port must be opened for reading, for writing or for both.</source>
        <translation>Eine serielle Schnittstelle muss zum Lesen, zum Schreiben oder für beides geöffnet werden.</translation>
    </message>
    <message>
        <source>The serial port is not open.</source>
        <translation>Die serielle Schnittstelle ist nicht geöffnet.</translation>
    </message>
    <message>
        <source>Text sent or received on the serial port must be UTF-8.</source>
        <translation>Über die serielle Schnittstelle gesendeter oder empfangener Text muss UTF-8 sein.</translation>
    </message>
    <message>
        <source>The device sent a byte that is not a 7-bit ASCII character.</source>
        <translation>Das Gerät hat ein Byte gesendet, das kein 7-Bit-ASCII-Zeichen ist.</translation>
    </message>
    <message>
        <source>The device is not connected.</source>
        <translation>Das Gerät ist nicht verbunden.</translation>
    </message>
    <message>
        <source>Serial port error %1.</source>
        <translation>Fehler der seriellen Schnittstelle %1.</translation>
    </message>
    <message>
        <source>Add your user to the dialout group (sudo usermod -aG dialout $USER), then log out and in again.</source>
        <translation>Fügen Sie Ihren Benutzer der Gruppe dialout hinzu (sudo usermod -aG dialout $USER), melden Sie sich dann ab und wieder an.</translation>
    </message>
    <message>
        <source>Quit the other program that uses the port, then connect again.</source>
        <translation>Beenden Sie das andere Programm, das die Schnittstelle verwendet, und verbinden Sie dann erneut.</translation>
    </message>
    <message>
        <source>Check that the device is plugged in.</source>
        <translation>Prüfen Sie, ob das Gerät angeschlossen ist.</translation>
    </message>
</context>
<context>
    <name>ProgressSheet</name>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>cannot be read: %1</source>
        <translation>kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>cannot start reading</source>
        <translation>das Lesen kann nicht gestartet werden</translation>
    </message>
    <message>
        <source>is empty</source>
        <translation>ist leer</translation>
    </message>
    <message>
        <source>a quoted field that is never closed</source>
        <translation>ein Feld in Anführungszeichen, das nie geschlossen wird</translation>
    </message>
    <message>
        <source>the file ends inside its header</source>
        <translation>die Datei endet innerhalb ihrer Kopfzeile</translation>
    </message>
    <message>
        <source>holds no header row</source>
        <translation>enthält keine Kopfzeile</translation>
    </message>
    <message>
        <source>a quote inside a field that does not begin with one</source>
        <translation>ein Anführungszeichen in einem Feld, das nicht mit einem beginnt</translation>
    </message>
    <message>
        <source>a character other than a comma or line end after a closing quote</source>
        <translation>ein anderes Zeichen als Komma oder Zeilenende nach einem schließenden Anführungszeichen</translation>
    </message>
    <message>
        <source>a field longer than %1 bytes (a quote that is never closed?)</source>
        <translation>ein Feld länger als %1 Byte (ein nie geschlossenes Anführungszeichen?)</translation>
    </message>
    <message>
        <source>not a recording: %1</source>
        <translation>keine Aufzeichnung: %1</translation>
    </message>
    <message>
        <source>the last row is incomplete (the file ends inside it, as after a crash); it was left out</source>
        <translation>die letzte Zeile ist unvollständig (die Datei endet darin, wie nach einem Absturz); sie wurde ausgelassen</translation>
    </message>
    <message>
        <source>the column %1 appears twice</source>
        <translation>die Spalte %1 kommt zweimal vor</translation>
    </message>
    <message>
        <source>not a recording: the header has no %1 column%2</source>
        <translation>keine Aufzeichnung: Die Kopfzeile enthält keine Spalte %1%2</translation>
    </message>
    <message>
        <source>&quot;time&quot; and &quot;message&quot;</source>
        <translation>&quot;time&quot; und &quot;message&quot;</translation>
    </message>
    <message>
        <source> (its columns are separated by semicolons, not commas)</source>
        <translation> (ihre Spalten sind durch Semikolons getrennt, nicht durch Kommas)</translation>
    </message>
    <message>
        <source>%1 fields, but the header has %2 columns</source>
        <translation>%1 Felder, aber die Kopfzeile hat %2 Spalten</translation>
    </message>
    <message>
        <source>time %1 is not a number</source>
        <translation>time %1 ist keine Zahl</translation>
    </message>
    <message>
        <source>time %1 is negative</source>
        <translation>time %1 ist negativ</translation>
    </message>
    <message>
        <source>time %1 is more than 366 days (31622400 s)</source>
        <translation>time %1 ist mehr als 366 Tage (31622400 s)</translation>
    </message>
    <message>
        <source>time %1 is earlier than the row before&apos;s (%2)</source>
        <translation>time %1 liegt vor dem Wert der vorigen Zeile (%2)</translation>
    </message>
    <message>
        <source>is not an ISO 8601 date and time</source>
        <translation>ist kein Datum mit Uhrzeit nach ISO 8601</translation>
    </message>
    <message>
        <source>is not a number</source>
        <translation>ist keine Zahl</translation>
    </message>
    <message>
        <source>is not a whole number</source>
        <translation>ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>is not a torque overlay status</source>
        <translation>ist kein Status der Momentenüberlagerung</translation>
    </message>
    <message>
        <source>is not a lateral control method</source>
        <translation>ist keine Steuerungsart der Querführung</translation>
    </message>
    <message>
        <source>is not a longitudinal control method</source>
        <translation>ist keine Steuerungsart der Längsführung</translation>
    </message>
    <message>
        <source>is a directory, not a recording</source>
        <translation>ist ein Verzeichnis, keine Aufzeichnung</translation>
    </message>
    <message>
        <source>is not a regular file</source>
        <translation>ist keine reguläre Datei</translation>
    </message>
</context>
<context>
    <name>RecordingReplay</name>
    <message>
        <source>Replaying %1</source>
        <translation>Wiedergabe von %1</translation>
    </message>
</context>
<context>
    <name>ReplayTimeline</name>
    <message>
        <source>Jump: click or drag</source>
        <translation>Springen: klicken oder ziehen</translation>
    </message>
</context>
<context>
    <name>ReportFramer</name>
    <message>
        <source>a byte with the high bit set</source>
        <translation>ein Byte mit gesetztem höchstwertigem Bit</translation>
    </message>
    <message>
        <source>a name longer than %1 bytes</source>
        <translation>ein Name länger als %1 Byte</translation>
    </message>
    <message>
        <source>a key longer than %1 bytes</source>
        <translation>ein Schlüssel länger als %1 Byte</translation>
    </message>
    <message>
        <source>a value longer than %1 bytes</source>
        <translation>ein Wert länger als %1 Byte</translation>
    </message>
    <message>
        <source>a message longer than %1 bytes</source>
        <translation>eine Nachricht länger als %1 Byte</translation>
    </message>
</context>
<context>
    <name>SerialDeviceDescription</name>
    <message>
        <source>serial %1</source>
        <translation>Seriennummer %1</translation>
    </message>
    <message>
        <source>USB device</source>
        <translation>USB-Gerät</translation>
    </message>
</context>
<context>
    <name>SpeedFormatter</name>
    <message>
        <source>%1 km/hour</source>
        <translation>%1 km/h</translation>
    </message>
    <message>
        <source>%1 miles/hour</source>
        <translation>%1 mph</translation>
    </message>
</context>
<context>
    <name>StatisticsGroup</name>
    <message>
        <source>CAN 0 Message Count</source>
        <translation>Nachrichtenanzahl CAN 0</translation>
    </message>
    <message>
        <source>CAN 1 Message Count</source>
        <translation>Nachrichtenanzahl CAN 1</translation>
    </message>
</context>
<context>
    <name>StatusInspectorItem</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>SteeringGroup</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Control Method</source>
        <translation>Steuerungsart</translation>
    </message>
    <message>
        <source>Active Park Assist Torque Overlay</source>
        <translation>Momentenüberlagerung Aktiver Parkassistent</translation>
    </message>
    <message>
        <source>Lane Keep Assist Torque Overlay</source>
        <translation>Momentenüberlagerung Spurhalteassistent</translation>
    </message>
    <message>
        <source>Wheel Angle</source>
        <translation>Lenkradwinkel</translation>
    </message>
    <message>
        <source>Assist Torque</source>
        <translation>Unterstützungsmoment</translation>
    </message>
    <message>
        <source>Driver Torque</source>
        <translation>Fahrermoment</translation>
    </message>
</context>
<context>
    <name>TOIStatus</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Not Active</source>
        <translation>Nicht aktiv</translation>
    </message>
    <message>
        <source>Faulted</source>
        <translation>Fehlerhaft</translation>
    </message>
    <message>
        <source>Activated</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Temporarily Deactivated</source>
        <translation>Vorübergehend deaktiviert</translation>
    </message>
</context>
<context>
    <name>TelemetryDisplay</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Not Active</source>
        <translation>Nicht aktiv</translation>
    </message>
    <message>
        <source>Faulted</source>
        <translation>Fehlerhaft</translation>
    </message>
    <message>
        <source>Activated</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Temporarily Deactivated</source>
        <translation>Vorübergehend deaktiviert</translation>
    </message>
    <message>
        <source>Learning vehicle configuration...</source>
        <translation>Fahrzeugkonfiguration wird ermittelt...</translation>
    </message>
</context>
<context>
    <name>TelemetryRecorder</name>
    <message>
        <source>the file took none of the data</source>
        <translation>die Datei hat keine Daten aufgenommen</translation>
    </message>
    <message>
        <source>cannot open %1</source>
        <translation>%1 kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>TelemetrySeries</name>
    <message>
        <source>Steering Wheel Angle</source>
        <translation>Lenkradwinkel</translation>
    </message>
    <message>
        <source>Assistance Torque</source>
        <translation>Unterstützungsmoment</translation>
    </message>
    <message>
        <source>Driver Torque</source>
        <translation>Fahrermoment</translation>
    </message>
    <message>
        <source>Lateral Request</source>
        <translation>Queranforderung</translation>
    </message>
    <message>
        <source>Longitudinal Request</source>
        <translation>Längsanforderung</translation>
    </message>
</context>
<context>
    <name>TrafficTableModel</name>
    <message>
        <source>sent</source>
        <translation>gesendet</translation>
    </message>
    <message>
        <source>received</source>
        <translation>empfangen</translation>
    </message>
</context>
<context>
    <name>TransferError</name>
    <message>
        <source>the server answered with HTTP status %1</source>
        <translation>der Server antwortete mit HTTP-Status %1</translation>
    </message>
    <message>
        <source>%1 MiB</source>
        <translation>%1 MiB</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>the response is larger than the limit of %1</source>
        <translation>die Antwort ist größer als die Grenze von %1</translation>
    </message>
    <message>
        <source>The transfer of %1 failed: %2.</source>
        <translation>Die Übertragung von %1 ist fehlgeschlagen: %2.</translation>
    </message>
</context>
<context>
    <name>UpdateInformationDialog</name>
    <message>
        <source>Software Update</source>
        <translation>Software-Update</translation>
    </message>
    <message>
        <source>A new version of the device firmware is available.</source>
        <translation>Eine neue Version der Gerätefirmware ist verfügbar.</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Released</source>
        <translation>Veröffentlicht</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>Signatur</translation>
    </message>
    <message>
        <source>Release Notes</source>
        <translation>Versionshinweise</translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation>Jetzt nicht</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
</context>
<context>
    <name>UpdateInformationViewController</name>
    <message>
        <source>Signed by key ID %1</source>
        <translation>Signiert mit Schlüssel-ID %1</translation>
    </message>
    <message>
        <source>Not signed</source>
        <translation>Nicht signiert</translation>
    </message>
</context>
<context>
    <name>UpdateWorkflow</name>
    <message>
        <source>No device was selected when the firmware was ready to be written. Select the device in the device list and check for the update again.</source>
        <translation>Als die Firmware zum Schreiben bereit war, war kein Gerät ausgewählt. Wählen Sie das Gerät in der Geräteliste aus und suchen Sie erneut nach dem Update.</translation>
    </message>
    <message>
        <source>Checking for the update</source>
        <translation>Update wird gesucht</translation>
    </message>
    <message>
        <source>Downloading the firmware</source>
        <translation>Firmware wird heruntergeladen</translation>
    </message>
    <message>
        <source>Resetting the device into its bootloader</source>
        <translation>Gerät wird in seinen Bootloader zurückgesetzt</translation>
    </message>
    <message>
        <source>Erasing the device&apos;s flash</source>
        <translation>Flash-Speicher des Geräts wird gelöscht</translation>
    </message>
    <message>
        <source>Writing the firmware</source>
        <translation>Firmware wird geschrieben</translation>
    </message>
    <message>
        <source>Verifying the firmware</source>
        <translation>Firmware wird überprüft</translation>
    </message>
    <message>
        <source>Setting the device to start the new firmware</source>
        <translation>Gerät wird auf den Start der neuen Firmware eingestellt</translation>
    </message>
    <message>
        <source>Waiting for the device to report the new version</source>
        <translation>Warten, bis das Gerät die neue Version meldet</translation>
    </message>
    <message>
        <source>Updating</source>
        <translation>Update läuft</translation>
    </message>
    <message>
        <source>%1: %2%</source>
        <translation>%1: %2%</translation>
    </message>
    <message>
        <source>%1...</source>
        <translation>%1...</translation>
    </message>
    <message>
        <source>Checking for Updates...</source>
        <translation>Suche nach Updates...</translation>
    </message>
    <message>
        <source>The announced firmware was refused.</source>
        <translation>Die angekündigte Firmware wurde abgelehnt.</translation>
    </message>
    <message>
        <source>Nothing was written to the device: %1.</source>
        <translation>Es wurde nichts auf das Gerät geschrieben: %1.</translation>
    </message>
    <message>
        <source>Unable to check for updates.</source>
        <translation>Es konnte nicht nach Updates gesucht werden.</translation>
    </message>
    <message>
        <source>Check your internet connection and try again.</source>
        <translation>Überprüfen Sie Ihre Internetverbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>No software update is available.</source>
        <translation>Es ist kein Software-Update verfügbar.</translation>
    </message>
    <message>
        <source>Your device is already running the latest version.</source>
        <translation>Auf Ihrem Gerät läuft bereits die neueste Version.</translation>
    </message>
    <message>
        <source>Downloading software...</source>
        <translation>Software wird heruntergeladen...</translation>
    </message>
    <message>
        <source>The software update file could not be downloaded.</source>
        <translation>Die Software-Update-Datei konnte nicht heruntergeladen werden.</translation>
    </message>
    <message>
        <source>Make sure you&apos;re connected to the internet, and try again.</source>
        <translation>Stellen Sie sicher, dass Sie mit dem Internet verbunden sind, und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Flashing new firmware to device...</source>
        <translation>Neue Firmware wird auf das Gerät geflasht...</translation>
    </message>
    <message>
        <source>Failed to flash the firmware update.</source>
        <translation>Das Flashen des Firmware-Updates ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Disconnect and reconnect the device&apos;s USB connection and try again.</source>
        <translation>Trennen Sie die USB-Verbindung des Geräts, stellen Sie sie wieder her und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The firmware update completed.</source>
        <translation>Das Firmware-Update ist abgeschlossen.</translation>
    </message>
    <message>
        <source>Your device should reappear in the device list.  If the status indicator on the device is not pulsing or flashing, disconnect and reconnect the device. The device now reports %1.</source>
        <translation>Ihr Gerät sollte wieder in der Geräteliste erscheinen.  Wenn die Statusanzeige am Gerät nicht pulsiert oder blinkt, trennen Sie das Gerät und verbinden Sie es erneut. Das Gerät meldet jetzt %1.</translation>
    </message>
    <message>
        <source>The device came back reporting version %1, not %2.</source>
        <translation>Das Gerät meldete sich mit Version %1 zurück, nicht mit %2.</translation>
    </message>
    <message>
        <source>The device did not come back running firmware within %1 s.</source>
        <translation>Das Gerät lief innerhalb von %1 s nicht wieder mit Firmware.</translation>
    </message>
    <message>
        <source>The firmware update was not confirmed.</source>
        <translation>Das Firmware-Update wurde nicht bestätigt.</translation>
    </message>
    <message>
        <source>%1 Check for Update again; a device left in its bootloader is recovered with Install Firmware.</source>
        <translation>%1 Wählen Sie erneut „Nach Update suchen“; ein im Bootloader verbliebenes Gerät stellen Sie mit „Firmware installieren“ wieder her.</translation>
    </message>
</context>
<context>
    <name>UserGuide</name>
    <message>
        <source>User Guide</source>
        <translation>Benutzerhandbuch</translation>
    </message>
    <message>
        <source>No browser opened the user guide.</source>
        <translation>Kein Browser hat das Benutzerhandbuch geöffnet.</translation>
    </message>
    <message>
        <source>The user guide is not installed.</source>
        <translation>Das Benutzerhandbuch ist nicht installiert.</translation>
    </message>
    <message>
        <source>It is at %1; open it in a web browser.</source>
        <translation>Es befindet sich unter %1; öffnen Sie es in einem Webbrowser.</translation>
    </message>
    <message>
        <source>The package installs it in /usr/share/doc/orvane-console/guide/; in the source it is docs/guide/index.md.</source>
        <translation>Das Paket installiert es unter /usr/share/doc/orvane-console/guide/; in den Quellen liegt es unter docs/guide/index.md.</translation>
    </message>
</context>
<context>
    <name>ValueInspectorItem</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>VehicleGroup</name>
    <message>
        <source>Speed</source>
        <translation>Geschwindigkeit</translation>
    </message>
    <message>
        <source>Gear Selection</source>
        <translation>Gangwahl</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>ViewController</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>a recording was opened</source>
        <translation>eine Aufzeichnung wurde geöffnet</translation>
    </message>
    <message>
        <source>Install Firmware</source>
        <translation>Firmware installieren</translation>
    </message>
    <message>
        <source>Check for Update</source>
        <translation>Nach Update suchen</translation>
    </message>
    <message>
        <source>No firmware</source>
        <translation>Keine Firmware</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Discovered %1 gamepads.</source>
        <translation>%1 Gamepads gefunden.</translation>
    </message>
    <message>
        <source>No gamepads found.</source>
        <translation>Keine Gamepads gefunden.</translation>
    </message>
    <message>
        <source>Untitled Gamepad</source>
        <translation>Unbenanntes Gamepad</translation>
    </message>
    <message>
        <source>The device no longer responds, or another suite runs.</source>
        <translation>Das Gerät reagiert nicht mehr, oder eine andere Suite läuft.</translation>
    </message>
    <message>
        <source>It would abort at once: %1.</source>
        <translation>Die Suite würde sofort abbrechen: %1.</translation>
    </message>
</context>
<context>
    <name>orvane::LogPanel</name>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Copy All</source>
        <translation>Alles kopieren</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>(%1 earlier entries not shown)</source>
        <translation>(%1 frühere Einträge nicht angezeigt)</translation>
    </message>
</context>
<context>
    <name>orvane::MainWindow</name>
    <message>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>No devices found.</source>
        <translation>Keine Geräte gefunden.</translation>
    </message>
    <message>
        <source>Gamepad</source>
        <translation>Gamepad</translation>
    </message>
    <message>
        <source>No gamepads found.</source>
        <translation>Keine Gamepads gefunden.</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
</context>
<context>
    <name>orvane::ManeuverPanel</name>
    <message>
        <source>Maneuver</source>
        <translation>Manöver</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Stops the suite: both requests go to 0 at once (also Escape or any gamepad button)</source>
        <translation>Stoppt die Suite: Beide Anforderungen gehen sofort auf 0 (auch mit Esc oder einer beliebigen Gamepad-Taste)</translation>
    </message>
    <message>
        <source>Save Report…</source>
        <translation>Bericht speichern…</translation>
    </message>
    <message>
        <source>Saves the HTML report, the verdicts as JUnit XML, or every metric as JSON</source>
        <translation>Speichert den HTML-Bericht, die Bewertungen als JUnit-XML oder alle Metriken als JSON</translation>
    </message>
    <message>
        <source>Compare with…</source>
        <translation>Vergleichen mit…</translation>
    </message>
    <message>
        <source>Compares each metric with a metrics file saved from an earlier run of the same suite</source>
        <translation>Vergleicht jede Metrik mit einer Metrikdatei, die bei einem früheren Lauf derselben Suite gespeichert wurde</translation>
    </message>
    <message>
        <source>No suite has run</source>
        <translation>Noch keine Suite ausgeführt</translation>
    </message>
    <message>
        <source>%1 of %2: %3</source>
        <translation>%1 von %2: %3</translation>
    </message>
    <message>
        <source>Repeat %1 of %2: run, %3 left</source>
        <translation>Wiederholung %1 von %2: Lauf, noch %3</translation>
    </message>
    <message>
        <source>Repeat %1 of %2: settle, %3 left</source>
        <translation>Wiederholung %1 von %2: Einschwingen, noch %3</translation>
    </message>
    <message>
        <source>%1 maneuvers</source>
        <translation>%1 Manöver</translation>
    </message>
    <message>
        <source>Suite: %1 left</source>
        <translation>Suite: noch %1</translation>
    </message>
    <message>
        <source>Escape, Abort or any gamepad button stops it.</source>
        <translation>Esc, Abbrechen oder eine beliebige Gamepad-Taste stoppt sie.</translation>
    </message>
</context>
<context>
    <name>orvane::ManeuverRunControl</name>
    <message>
        <source>Run &amp;Maneuvers…</source>
        <translation>&amp;Manöver ausführen…</translation>
    </message>
    <message>
        <source>Run Maneuvers</source>
        <translation>Manöver ausführen</translation>
    </message>
    <message>
        <source>Maneuver files (*.json);;All files (*)</source>
        <translation>Manöverdateien (*.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The maneuver file %1 cannot be run.</source>
        <translation>Die Manöverdatei %1 kann nicht ausgeführt werden.</translation>
    </message>
    <message>
        <source>No device to run the maneuvers on.</source>
        <translation>Kein Gerät, auf dem die Manöver ausgeführt werden können.</translation>
    </message>
    <message>
        <source>Connect a device that responds, then run them again.</source>
        <translation>Verbinden Sie ein Gerät, das reagiert, und führen Sie sie dann erneut aus.</translation>
    </message>
    <message>
        <source>
In all %1. Limits: lateral %2, longitudinal %3, driver torque %4 Nm.

Escape, the Abort button, any gamepad button, the driver&apos;s torque or the device falling silent stops the suite and returns both requests to 0.</source>
        <translation>
Insgesamt %1. Grenzen: quer %2, längs %3, Fahrermoment %4 Nm.

Esc, die Schaltfläche „Abbrechen“, eine beliebige Gamepad-Taste, ein Moment des Fahrers oder ein verstummendes Gerät stoppt die Suite und setzt beide Anforderungen auf 0 zurück.</translation>
    </message>
    <message>
        <source>

Hold-to-enable is on: hold a gamepad&apos;s right shoulder button throughout; letting go aborts.</source>
        <translation>

Freigabe per Gedrückthalten ist eingeschaltet: Halten Sie die rechte Schultertaste eines Gamepads durchgehend gedrückt; Loslassen bricht ab.</translation>
    </message>
    <message>
        <source>Run the %1 maneuvers of %2 on %3?</source>
        <translation>Die %1 Manöver aus %2 auf %3 ausführen?</translation>
    </message>
    <message>
        <source>the device</source>
        <translation>dem Gerät</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Ausführen</translation>
    </message>
    <message>
        <source>The maneuvers were not run.</source>
        <translation>Die Manöver wurden nicht ausgeführt.</translation>
    </message>
    <message>
        <source>The maneuver suite completed.</source>
        <translation>Die Manöver-Suite ist abgeschlossen.</translation>
    </message>
    <message>
        <source>The maneuver suite was aborted.</source>
        <translation>Die Manöver-Suite wurde abgebrochen.</translation>
    </message>
    <message>
        <source>%1

Save the report?</source>
        <translation>%1

Bericht speichern?</translation>
    </message>
    <message>
        <source>Every run of %1 ran to its end.</source>
        <translation>Jeder Lauf aus %1 lief bis zu seinem Ende.</translation>
    </message>
    <message>
        <source>Save Report…</source>
        <translation>Bericht speichern…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>✓ Passed: %1 repeats met their expectations</source>
        <translation>✓ Bestanden: %1 Wiederholungen erfüllten ihre Erwartungen</translation>
    </message>
    <message>
        <source>✗ Failed: %1 of %2 repeats</source>
        <translation>✗ Nicht bestanden: %1 von %2 Wiederholungen</translation>
    </message>
    <message>
        <source>%1, against the baseline</source>
        <translation>%1, gegenüber der Referenz</translation>
    </message>
    <message>
        <source>Compare with Metrics</source>
        <translation>Mit Metriken vergleichen</translation>
    </message>
    <message>
        <source>Metrics files (*.json);;All files (*)</source>
        <translation>Metrikdateien (*.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The metrics file cannot be compared with.</source>
        <translation>Mit der Metrikdatei kann nicht verglichen werden.</translation>
    </message>
    <message>
        <source>HTML report (*.html)</source>
        <translation>HTML-Bericht (*.html)</translation>
    </message>
    <message>
        <source>JUnit XML (*.xml)</source>
        <translation>JUnit-XML (*.xml)</translation>
    </message>
    <message>
        <source>Metrics JSON (*.json)</source>
        <translation>Metriken als JSON (*.json)</translation>
    </message>
    <message>
        <source>Save Report</source>
        <translation>Bericht speichern</translation>
    </message>
    <message>
        <source>The report could not be saved.</source>
        <translation>Der Bericht konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>No maneuver suite has ended yet</source>
        <translation>Bisher wurde keine Manöver-Suite beendet</translation>
    </message>
    <message>
        <source>JUnit file</source>
        <translation>JUnit-Datei</translation>
    </message>
    <message>
        <source>metrics file</source>
        <translation>Metrikdatei</translation>
    </message>
    <message>
        <source>report</source>
        <translation>Bericht</translation>
    </message>
</context>
<context>
    <name>orvane::PlotPanel</name>
    <message>
        <source>Plots</source>
        <translation>Diagramme</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exportieren…</translation>
    </message>
    <message>
        <source>Saves what the plots show: a PNG or SVG picture of the size you choose, or the values as CSV</source>
        <translation>Speichert, was die Diagramme zeigen: ein PNG- oder SVG-Bild in der gewählten Größe oder die Werte als CSV</translation>
    </message>
    <message>
        <source>Steering wheel angle over the last 30 s</source>
        <translation>Lenkradwinkel der letzten 30 s</translation>
    </message>
    <message>
        <source>Torques and requests over the last 30 s</source>
        <translation>Momente und Anforderungen der letzten 30 s</translation>
    </message>
    <message>
        <source>Angle (°)</source>
        <translation>Winkel (°)</translation>
    </message>
    <message>
        <source>Torque (Nm)</source>
        <translation>Moment (Nm)</translation>
    </message>
    <message>
        <source>Request (%)</source>
        <translation>Anforderung (%)</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Export Plots</source>
        <translation>Diagramme exportieren</translation>
    </message>
    <message>
        <source>The picture&apos;s width in pixels</source>
        <translation>Breite des Bildes in Pixeln</translation>
    </message>
    <message>
        <source>The picture&apos;s height in pixels</source>
        <translation>Höhe des Bildes in Pixeln</translation>
    </message>
    <message>
        <source>Picture size:</source>
        <translation>Bildgröße:</translation>
    </message>
    <message>
        <source>not written</source>
        <translation>nicht geschrieben</translation>
    </message>
    <message>
        <source>The plots could not be exported to %1: %2.</source>
        <translation>Die Diagramme konnten nicht nach %1 exportiert werden: %2.</translation>
    </message>
</context>
<context>
    <name>orvane::RecordingControl</name>
    <message>
        <source>Start &amp;Recording…</source>
        <translation>Aufzeichnung s&amp;tarten…</translation>
    </message>
    <message>
        <source>Start Recording</source>
        <translation>Aufzeichnung starten</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The recording could not be started.</source>
        <translation>Die Aufzeichnung konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Stop &amp;Recording</source>
        <translation>Aufzeichnung s&amp;toppen</translation>
    </message>
    <message>
        <source>● Recording to %1: %2 rows</source>
        <translation>● Aufzeichnung nach %1: %2 Zeilen</translation>
    </message>
</context>
<context>
    <name>orvane::ReplayControl</name>
    <message>
        <source>&amp;Open Recording…</source>
        <translation>Aufzeichnung &amp;öffnen…</translation>
    </message>
    <message>
        <source>Recent &amp;Recordings</source>
        <translation>&amp;Zuletzt geöffnete Aufzeichnungen</translation>
    </message>
    <message>
        <source>&amp;Close Recording</source>
        <translation>Aufzeichnung &amp;schließen</translation>
    </message>
    <message>
        <source>&amp;MCAP…</source>
        <translation>&amp;MCAP…</translation>
    </message>
    <message>
        <source>Open Recording</source>
        <translation>Aufzeichnung öffnen</translation>
    </message>
    <message>
        <source>Recordings (*.csv);;All files (*)</source>
        <translation>Aufzeichnungen (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Opening %1…</source>
        <translation>%1 wird geöffnet…</translation>
    </message>
    <message>
        <source>The recording could not be opened.</source>
        <translation>Die Aufzeichnung konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Export Recording as MCAP</source>
        <translation>Aufzeichnung als MCAP exportieren</translation>
    </message>
    <message>
        <source>MCAP files (*.mcap);;All files (*)</source>
        <translation>MCAP-Dateien (*.mcap);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Exporting %1…</source>
        <translation>%1 wird exportiert…</translation>
    </message>
    <message>
        <source>The recording could not be exported.</source>
        <translation>Die Aufzeichnung konnte nicht exportiert werden.</translation>
    </message>
    <message>
        <source>Exported %1 rows (%2 messages) to %3</source>
        <translation>%1 Zeilen (%2 Nachrichten) nach %3 exportiert</translation>
    </message>
    <message>
        <source>No recent recordings</source>
        <translation>Keine zuletzt geöffneten Aufzeichnungen</translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation>Menü leeren</translation>
    </message>
</context>
<context>
    <name>orvane::ReplayTimeline</name>
    <message>
        <source>One message back (Left)</source>
        <translation>Eine Nachricht zurück (Links)</translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation>Abspielen (Leertaste)</translation>
    </message>
    <message>
        <source>One message forward (Right)</source>
        <translation>Eine Nachricht vor (Rechts)</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Geschwindigkeit</translation>
    </message>
    <message>
        <source>Timeline</source>
        <translation>Zeitleiste</translation>
    </message>
    <message>
        <source>The wall-clock time at the playhead</source>
        <translation>Die Uhrzeit am Abspielkopf</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Close the recording and show the live console again</source>
        <translation>Die Aufzeichnung schließen und wieder die Live-Konsole zeigen</translation>
    </message>
    <message>
        <source>%1 from %2 (click to jump here)</source>
        <translation>%1 ab %2 (klicken, um hierher zu springen)</translation>
    </message>
    <message>
        <source>%1, repeat %2 from %3 (click to jump here)</source>
        <translation>%1, Wiederholung %2 ab %3 (klicken, um hierher zu springen)</translation>
    </message>
    <message>
        <source>%1
The marks: where each maneuver (tall) and repeat (short) of the recorded suite begins; click one to jump to it</source>
        <translation>%1
Die Markierungen: wo jedes Manöver (lang) und jede Wiederholung (kurz) der aufgezeichneten Suite beginnt; klicken Sie auf eine, um dorthin zu springen</translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation>Pause (Leertaste)</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>The wall-clock time at the playhead: %1</source>
        <translation>Die Uhrzeit am Abspielkopf: %1</translation>
    </message>
    <message>
        <source>no wall-clock time</source>
        <translation>keine Uhrzeit</translation>
    </message>
</context>
<context>
    <name>orvane::SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Gamepad</source>
        <translation>Gamepad</translation>
    </message>
    <message>
        <source>A stick closer to its centre than this reads as centred.</source>
        <translation>Ein Stick, der näher an seiner Mitte ist als dieser Wert, gilt als zentriert.</translation>
    </message>
    <message>
        <source>Stick dead zone</source>
        <translation>Totzone der Sticks</translation>
    </message>
    <message>
        <source>Invert lateral (sticks to the right ask for a clockwise turn)</source>
        <translation>Querführung invertieren (Sticks nach rechts fordern eine Drehung im Uhrzeigersinn an)</translation>
    </message>
    <message>
        <source>Invert longitudinal (left trigger for engine, right for brake)</source>
        <translation>Längsführung invertieren (linker Trigger für Antrieb, rechter für Bremse)</translation>
    </message>
    <message>
        <source>Requests only while the right shoulder button is held</source>
        <translation>Anforderungen nur, solange die rechte Schultertaste gedrückt gehalten wird</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Connect the last device whenever it appears</source>
        <translation>Das zuletzt verwendete Gerät verbinden, sobald es erscheint</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Allow firmware not signed by a trusted key</source>
        <translation>Firmware zulassen, die nicht mit einem vertrauenswürdigen Schlüssel signiert ist</translation>
    </message>
    <message>
        <source>For a lab&apos;s own builds: the update dialog then says &quot;Not signed&quot; in red.</source>
        <translation>Für eigene Builds eines Labors: Der Update-Dialog zeigt dann &quot;Nicht signiert&quot; in Rot an.</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Language of the desktop</source>
        <translation>Sprache des Desktops</translation>
    </message>
    <message>
        <source>A new language is shown when the console is started again.</source>
        <translation>Eine neue Sprache wird angezeigt, wenn die Konsole neu gestartet wird.</translation>
    </message>
</context>
<context>
    <name>orvane::TimePlot</name>
    <message>
        <source>Plot</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>Time (s)</source>
        <translation>Zeit (s)</translation>
    </message>
</context>
<context>
    <name>orvane::TrafficPanel</name>
    <message>
        <source>Traffic</source>
        <translation>Verkehr</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Messages shown</source>
        <translation>Angezeigte Nachrichten</translation>
    </message>
    <message>
        <source>Show the messages of one name</source>
        <translation>Nur die Nachrichten mit einem Namen anzeigen</translation>
    </message>
    <message>
        <source>All messages</source>
        <translation>Alle Nachrichten</translation>
    </message>
    <message>
        <source>Messages lost on their way into the traffic history: the hand-over queue from the link was full because the window did not take them in time. The history keeps the newest %1 messages whether or not this panel is shown; those it lets go as newer ones come are not counted.</source>
        <translation>Nachrichten, die auf dem Weg in den Verkehrsverlauf verloren gingen: Die Übergabewarteschlange der Verbindung war voll, weil das Fenster sie nicht rechtzeitig übernommen hat. Der Verlauf behält die neuesten %1 Nachrichten, ob dieses Panel angezeigt wird oder nicht; was er verwirft, wenn neuere Nachrichten kommen, wird nicht gezählt.</translation>
    </message>
    <message>
        <source>Dropped: %1</source>
        <translation>Verworfen: %1</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
</context>
<context>
    <name>orvane::TrafficTableModel</name>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Richtung</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Fields</source>
        <translation>Felder</translation>
    </message>
</context>
</TS>
