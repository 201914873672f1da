<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>Host</name>
    <message>
        <location filename="../host_command.cpp" line="29"/>
        <source>tarvo-hotsync %1 did not end within a minute</source>
        <translation>tarvo-hotsync %1 não terminou em um minuto</translation>
    </message>
</context>
<context>
    <name>HotSync</name>
    <message>
        <location filename="../hotsync_steps.cpp" line="17"/>
        <source>Installing 1 file</source>
        <translation>Instalando 1 arquivo</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="17"/>
        <source>Installing %1 files</source>
        <translation>Instalando %1 arquivos</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="92"/>
        <source>%1 not installed: %2</source>
        <translation>%1 não instalado: %2</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="98"/>
        <source>Installed 1 file</source>
        <translation>1 arquivo instalado</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="98"/>
        <source>Installed %1 files</source>
        <translation>%1 arquivos instalados</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="99"/>
        <source>Installing %1 files (%2 done)</source>
        <translation>Instalando %1 arquivos (%2 feitos)</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="100"/>
        <source>Installed %1 of %2 files</source>
        <translation>%1 de %2 arquivos instalados</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="122"/>
        <source>Backing up %1</source>
        <translation>Copiando %1</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="133"/>
        <source>Backup: nothing changed</source>
        <translation>Cópia de segurança: nada mudou</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="134"/>
        <source>Backed up 1 database</source>
        <translation>1 banco de dados copiado</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="135"/>
        <source>Backed up %1 databases</source>
        <translation>%1 bancos de dados copiados</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="136"/>
        <source>%1 could not be copied</source>
        <translation>%1 não puderam ser copiados</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="149"/>
        <source>The HotSync could not be started</source>
        <translation>Não foi possível iniciar o HotSync</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="171"/>
        <source>HotSync cancelled</source>
        <translation>HotSync cancelado</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="172"/>
        <source>HotSync failed</source>
        <translation>HotSync falhou</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="173"/>
        <source>HotSync done</source>
        <translation>HotSync concluído</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="174"/>
        <source>HotSync of %1 cancelled</source>
        <translation>HotSync de %1 cancelado</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="175"/>
        <source>HotSync of %1 failed</source>
        <translation>HotSync de %1 falhou</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="176"/>
        <source>HotSync of %1 done</source>
        <translation>HotSync de %1 concluído</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="179"/>
        <source>No HotSync is running</source>
        <translation>Nenhum HotSync em andamento</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="181"/>
        <source>HotSync over %1</source>
        <translation>HotSync por %1</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="182"/>
        <source>HotSync of %1 over %2</source>
        <translation>HotSync de %1 por %2</translation>
    </message>
    <message>
        <location filename="../hotsync_steps.cpp" line="188"/>
        <source>Cancelling: the handheld is told to stop</source>
        <translation>Cancelando: o handheld é avisado para parar</translation>
    </message>
</context>
<context>
    <name>Install</name>
    <message>
        <location filename="../install_queue.cpp" line="22"/>
        <source>application</source>
        <translation>aplicativo</translation>
    </message>
    <message>
        <location filename="../install_queue.cpp" line="23"/>
        <source>web clipping</source>
        <translation>web clipping</translation>
    </message>
    <message>
        <location filename="../install_queue.cpp" line="24"/>
        <source>database</source>
        <translation>banco de dados</translation>
    </message>
    <message>
        <location filename="../install_queue.cpp" line="57"/>
        <source>%1: could not be queued</source>
        <translation>%1: não pôde entrar na fila</translation>
    </message>
    <message>
        <location filename="../install_queue.cpp" line="65"/>
        <source>%1 is no longer queued for %2</source>
        <translation>%1 não está mais na fila de %2</translation>
    </message>
</context>
<context>
    <name>Log</name>
    <message>
        <location filename="../log_model.cpp" line="43"/>
        <source>HotSync log of %1</source>
        <translation>Registro do HotSync de %1</translation>
    </message>
    <message>
        <location filename="../log_model.cpp" line="46"/>
        <source>HotSync %1 - %2: FAILED</source>
        <translation>HotSync %1 - %2: FALHOU</translation>
    </message>
    <message>
        <location filename="../log_model.cpp" line="47"/>
        <source>HotSync %1 - %2</source>
        <translation>HotSync %1 - %2</translation>
    </message>
</context>
<context>
    <name>Notification</name>
    <message>
        <location filename="../desktop_notifier.cpp" line="28"/>
        <source>Open the log</source>
        <translation>Abrir o registro</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="67"/>
        <source>HotSync failed</source>
        <translation>HotSync falhou</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="67"/>
        <source>HotSync done</source>
        <translation>HotSync concluído</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="70"/>
        <source>HotSync of %1 failed</source>
        <translation>HotSync de %1 falhou</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="70"/>
        <source>HotSync of %1 done</source>
        <translation>HotSync de %1 concluído</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="76"/>
        <source>Installed: %1</source>
        <translation>Instalado: %1</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="77"/>
        <source>Not installed: %1</source>
        <translation>Não instalado: %1</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="79"/>
        <source>Backed up 1 database</source>
        <translation>1 banco de dados copiado</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="80"/>
        <source>Backed up %1 databases</source>
        <translation>%1 bancos de dados copiados</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="83"/>
        <source>1 could not be copied</source>
        <translation>1 não pôde ser copiado</translation>
    </message>
    <message>
        <location filename="../hotsync_report.cpp" line="84"/>
        <source>%1 could not be copied</source>
        <translation>%1 não puderam ser copiados</translation>
    </message>
</context>
<context>
    <name>Setup</name>
    <message>
        <location filename="../connection_setup.cpp" line="151"/>
        <source>%1: permission denied; add yourself to the dialout group (sudo adduser $USER dialout) and log in again</source>
        <translation>%1: permissão negada; entre no grupo dialout (sudo adduser $USER dialout) e faça login de novo</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <location filename="../manager_client.cpp" line="21"/>
        <location filename="../manager_client.cpp" line="91"/>
        <location filename="../status_words.cpp" line="46"/>
        <source>The HotSync manager is not running</source>
        <translation>O gerenciador HotSync não está em execução</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="19"/>
        <source>HotSync over %1</source>
        <translation>HotSync por %1</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="20"/>
        <source>HotSync of %1 over %2</source>
        <translation>HotSync de %1 por %2</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="22"/>
        <source>starting</source>
        <translation>iniciando</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="23"/>
        <source>%1: %2, %3%</source>
        <translation>%1: %2, %3%</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="29"/>
        <source>USB</source>
        <translation>USB</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="30"/>
        <source>the network</source>
        <translation>a rede</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="32"/>
        <source>a link not known yet</source>
        <translation>uma conexão ainda desconhecida</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="37"/>
        <source>Last HotSync done at %1</source>
        <translation>Último HotSync concluído às %1</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="39"/>
        <source>Last HotSync failed at %1 (%2)</source>
        <translation>Último HotSync falhou às %1 (%2)</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="53"/>
        <source>%1 cannot be used: %2</source>
        <translation>%1 não pode ser usado: %2</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="58"/>
        <source>The HotSync manager is quitting</source>
        <translation>O gerenciador HotSync está encerrando</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="64"/>
        <source>Waiting for a handheld on %1</source>
        <translation>Aguardando um handheld em %1</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="67"/>
        <source>Waiting for no handheld: no port can be used (see Setup)</source>
        <translation>Não aguarda nenhum handheld: nenhuma porta pode ser usada (veja Configuração)</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="71"/>
        <source>1 HotSync waiting its turn</source>
        <translation>1 HotSync aguardando a vez</translation>
    </message>
    <message>
        <location filename="../status_words.cpp" line="72"/>
        <source>%1 HotSyncs waiting their turn</source>
        <translation>%1 HotSyncs aguardando a vez</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::ConduitsWindow</name>
    <message>
        <location filename="../conduits_window.cpp" line="24"/>
        <source>&amp;Back up the handheld&apos;s changed databases after the conduits</source>
        <translation>Fazer &amp;cópia de segurança dos bancos de dados alterados do handheld depois dos conduits</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="26"/>
        <source>Conduits</source>
        <translation>Conduits</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="29"/>
        <source>A HotSync runs the conduits turned on, in this order:</source>
        <translation>Um HotSync executa os conduits ligados, nesta ordem:</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="30"/>
        <source>Conduit</source>
        <translation>Conduit</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="30"/>
        <source>Creator</source>
        <translation>Criador</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="30"/>
        <source>Next HotSync</source>
        <translation>Próximo HotSync</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="35"/>
        <source>For user:</source>
        <translation>Para o usuário:</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="37"/>
        <source>C&amp;onfigure...</source>
        <translation>C&amp;onfigurar...</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="100"/>
        <source>The next HotSyncs back up the handheld.</source>
        <translation>Os próximos HotSyncs fazem cópia de segurança do handheld.</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="100"/>
        <source>The next HotSyncs make no backup.</source>
        <translation>Os próximos HotSyncs não fazem cópia de segurança.</translation>
    </message>
    <message>
        <location filename="../conduits_window.cpp" line="108"/>
        <source>%1 could not be started</source>
        <translation>Não foi possível iniciar %1</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::DesktopApp</name>
    <message>
        <location filename="../desktop_app.cpp" line="56"/>
        <source>Start at login</source>
        <translation>Iniciar ao entrar</translation>
    </message>
    <message>
        <location filename="../desktop_app.cpp" line="121"/>
        <source>About Tarvo HotSync Manager</source>
        <translation>Sobre o Gerenciador HotSync Tarvo</translation>
    </message>
    <message>
        <location filename="../desktop_app.cpp" line="122"/>
        <source>&lt;b&gt;Tarvo HotSync Manager&lt;/b&gt; %1&lt;p&gt;Shows what the HotSync manager does, and opens the HotSync log, the install queue, the users&apos; backups and the setup.&lt;/p&gt;</source>
        <translation>&lt;b&gt;Gerenciador HotSync Tarvo&lt;/b&gt; %1&lt;p&gt;Mostra o que o gerenciador HotSync está fazendo e abre o registro do HotSync, a fila de instalação, as cópias de segurança dos usuários e a configuração.&lt;/p&gt;</translation>
    </message>
    <message>
        <location filename="../desktop_app.cpp" line="132"/>
        <source>Quit the HotSync manager</source>
        <translation>Sair do gerenciador HotSync</translation>
    </message>
    <message>
        <location filename="../desktop_app.cpp" line="133"/>
        <source>A HotSync is running. Quitting cancels it (the handheld keeps what was done). Quit anyway?</source>
        <translation>Um HotSync está em andamento. Sair o cancela (o handheld mantém o que já foi feito). Sair mesmo assim?</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::HotSyncWindow</name>
    <message>
        <location filename="../hotsync_window.cpp" line="16"/>
        <source>HotSync</source>
        <translation>HotSync</translation>
    </message>
    <message>
        <location filename="../hotsync_window.cpp" line="35"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
    <message>
        <location filename="../hotsync_window.cpp" line="36"/>
        <source>C&amp;lose</source>
        <translation>&amp;Fechar</translation>
    </message>
    <message>
        <location filename="../hotsync_window.cpp" line="78"/>
        <source>%1 (failed)</source>
        <translation>%1 (falhou)</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::InstallWindow</name>
    <message>
        <location filename="../install_window.cpp" line="22"/>
        <location filename="../install_window.cpp" line="115"/>
        <source>Install</source>
        <translation>Instalar</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="27"/>
        <source>&amp;User:</source>
        <translation>&amp;Usuário:</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="35"/>
        <source>Drop .prc, .pdb and .pqa files here; they are installed at the user&apos;s next HotSync.</source>
        <translation>Solte aqui arquivos .prc, .pdb e .pqa; eles são instalados no próximo HotSync do usuário.</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="36"/>
        <source>File</source>
        <translation>Arquivo</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="36"/>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="36"/>
        <source>Type</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="36"/>
        <source>Size</source>
        <translation>Tamanho</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="45"/>
        <source>&amp;Add...</source>
        <translation>&amp;Adicionar...</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="46"/>
        <source>&amp;Remove</source>
        <translation>&amp;Remover</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="78"/>
        <source>(not a Palm database)</source>
        <translation>(não é um banco de dados Palm)</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="88"/>
        <source>Choose the user whose handheld gets the files first.</source>
        <translation>Escolha primeiro o usuário cujo handheld recebe os arquivos.</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="95"/>
        <source>1 file queued for %1&apos;s next HotSync.</source>
        <translation>1 arquivo na fila para o próximo HotSync de %1.</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="96"/>
        <source>%1 files queued for %2&apos;s next HotSync.</source>
        <translation>%1 arquivos na fila para o próximo HotSync de %2.</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="97"/>
        <source>Refused: %1</source>
        <translation>Recusado: %1</translation>
    </message>
    <message>
        <location filename="../install_window.cpp" line="116"/>
        <source>Palm databases (*.prc *.pdb *.pqa);;All files (*)</source>
        <translation>Bancos de dados Palm (*.prc *.pdb *.pqa);;Todos os arquivos (*)</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::LogWindow</name>
    <message>
        <location filename="../log_window.cpp" line="25"/>
        <source>HotSync log</source>
        <translation>Registro do HotSync</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="29"/>
        <source>&amp;User:</source>
        <translation>&amp;Usuário:</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="34"/>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="34"/>
        <source>Code</source>
        <translation>Código</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="34"/>
        <source>Entry</source>
        <translation>Entrada</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="44"/>
        <source>On the handheld (its last HotSync):</source>
        <translation>No handheld (seu último HotSync):</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="55"/>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="56"/>
        <source>&amp;Save...</source>
        <translation>&amp;Salvar...</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="69"/>
        <source>The log could not be read: %1</source>
        <translation>Não foi possível ler o registro: %1</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="100"/>
        <source>HotSync until %1: failed</source>
        <translation>HotSync até %1: falhou</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="100"/>
        <source>HotSync until %1</source>
        <translation>HotSync até %1</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="130"/>
        <location filename="../log_window.cpp" line="135"/>
        <source>Save the HotSync log</source>
        <translation>Salvar o registro do HotSync</translation>
    </message>
    <message>
        <location filename="../log_window.cpp" line="131"/>
        <source>HotSync log of %1.txt</source>
        <translation>Registro do HotSync de %1.txt</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::SetupWindow</name>
    <message>
        <location filename="../setup_window.cpp" line="27"/>
        <source>Handhelds on &amp;USB</source>
        <translation>Handhelds pela &amp;USB</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="30"/>
        <source>&amp;Off</source>
        <translation>&amp;Desligado</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="31"/>
        <source>&amp;This computer only (an emulator, a bridge)</source>
        <translation>&amp;Somente este computador (um emulador, uma ponte)</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="32"/>
        <source>The &amp;local network</source>
        <translation>A rede &amp;local</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="33"/>
        <source>Anyone on the local network who can reach this computer can then start a HotSync with it.</source>
        <translation>Qualquer pessoa na rede local que alcance este computador poderá então iniciar um HotSync com ele.</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="36"/>
        <source>Setup</source>
        <translation>Configuração</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="39"/>
        <source>Serial cradles</source>
        <translation>Berços seriais</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="43"/>
        <source>S&amp;peed of the chosen port:</source>
        <translation>&amp;Velocidade da porta escolhida:</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="45"/>
        <source>the handheld&apos;s fastest</source>
        <translation>a mais rápida do handheld</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="60"/>
        <source>Network HotSync</source>
        <translation>HotSync pela rede</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="105"/>
        <source>%1 (not present now)</source>
        <translation>%1 (ausente agora)</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="143"/>
        <source>Not saved: %1</source>
        <translation>Não salvo: %1</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="146"/>
        <source>Saved; asking the HotSync manager to read it...</source>
        <translation>Salvo; pedindo ao gerenciador HotSync que o leia...</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="151"/>
        <source>Saved. The HotSync manager is not running: it uses this at its next start.</source>
        <translation>Salvo. O gerenciador HotSync não está em execução: ele usará isto ao iniciar.</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="156"/>
        <source>Saved. The HotSync manager now watches: %1</source>
        <translation>Salvo. O gerenciador HotSync agora observa: %1</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="157"/>
        <source>no port</source>
        <translation>nenhuma porta</translation>
    </message>
    <message>
        <location filename="../setup_window.cpp" line="159"/>
        <source>Saved, but the HotSync manager keeps its settings: %1</source>
        <translation>Salvo, mas o gerenciador HotSync mantém suas configurações: %1</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::StatusIcon</name>
    <message>
        <location filename="../status_icon.cpp" line="15"/>
        <source>HotSync &amp;log</source>
        <translation>&amp;Registro do HotSync</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="16"/>
        <source>&amp;Install...</source>
        <translation>&amp;Instalar...</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="17"/>
        <source>&amp;Users and backups</source>
        <translation>&amp;Usuários e cópias de segurança</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="18"/>
        <source>&amp;Setup...</source>
        <translation>&amp;Configuração...</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="19"/>
        <source>&amp;Conduits...</source>
        <translation>C&amp;onduits...</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="21"/>
        <source>Start at l&amp;ogin</source>
        <translation>Iniciar ao &amp;entrar</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="24"/>
        <source>&amp;About</source>
        <translation>&amp;Sobre</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="25"/>
        <source>&amp;Quit</source>
        <translation>Sai&amp;r</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="39"/>
        <source>Tarvo HotSync Manager</source>
        <translation>Gerenciador HotSync Tarvo</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="50"/>
        <source>This desktop has no status area, so the HotSync manager shows here.</source>
        <translation>Esta área de trabalho não tem área de notificação; por isso o gerenciador HotSync aparece aqui.</translation>
    </message>
    <message>
        <location filename="../status_icon.cpp" line="53"/>
        <source>&amp;Menu</source>
        <translation>&amp;Menu</translation>
    </message>
</context>
<context>
    <name>tarvo::desktop::UsersWindow</name>
    <message>
        <location filename="../users_window.cpp" line="21"/>
        <source>&amp;Restore...</source>
        <translation>&amp;Restaurar...</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="22"/>
        <source>Users and backups</source>
        <translation>Usuários e cópias de segurança</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="25"/>
        <source>User</source>
        <translation>Usuário</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="25"/>
        <source>Files queued</source>
        <translation>Arquivos na fila</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="25"/>
        <source>Last HotSync</source>
        <translation>Último HotSync</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="25"/>
        <source>Backup</source>
        <translation>Cópia de segurança</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="34"/>
        <source>&amp;Delete...</source>
        <translation>&amp;Excluir...</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="57"/>
        <location filename="../users_window.cpp" line="62"/>
        <source>none</source>
        <translation>nenhum</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="58"/>
        <source>%1, failed</source>
        <translation>%1, falhou</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="73"/>
        <source>%1 deleted.</source>
        <translation>%1 excluído.</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="81"/>
        <source>Delete a HotSync user</source>
        <translation>Excluir um usuário do HotSync</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="82"/>
        <source>Delete %1&apos;s desktop log and install queue? The backup stays, so that it can be restored onto a handheld later.</source>
        <translation>Excluir o registro e a fila de instalação de %1? A cópia de segurança fica, para poder ser restaurada num handheld mais tarde.</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="87"/>
        <source>Delete the backup &amp;too</source>
        <translation>Excluir &amp;também a cópia de segurança</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="107"/>
        <source>No port is waiting for a handheld: see Setup, and that the HotSync manager runs.</source>
        <translation>Nenhuma porta aguarda um handheld: veja a Configuração e se o gerenciador HotSync está em execução.</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="118"/>
        <source>Restored.</source>
        <translation>Restaurado.</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="118"/>
        <source>The restore did not finish (status %1).</source>
        <translation>A restauração não terminou (código %1).</translation>
    </message>
    <message>
        <location filename="../users_window.cpp" line="125"/>
        <source>Press HotSync on %1&apos;s handheld now (%2).</source>
        <translation>Pressione HotSync no handheld de %1 agora (%2).</translation>
    </message>
</context>
</TS>
