// The static texts of the configuration pages and the wizard's own pages
// (UTF-8), shared by the windowed and the terminal front ends.
#pragma once

namespace tarvo::ui::text {

// Identification.
inline constexpr const char* kIdentificaIntro =
    "Preencha o login e a senha somente se você já se cadastrou no serviço de distribuição de conteúdo "
    "do site da Tarvo. O preenchimento é opcional para a instalação.";
inline constexpr const char* kLogin = "Login";
inline constexpr const char* kPassword = "Senha";
inline constexpr const char* kIdentificaHelp =
    "Caso queira cadastrar-se no site da Tarvo, ou não se lembra de seu login e senha, utilize os botões abaixo:";

// Schedule.
inline constexpr const char* kGeralIntro =
    "Escolha o que o Tarvo Sync deve fazer em seu próximo Hotsync e nos seguintes.";
inline constexpr const char* kNextAction = "Ação no próximo hotsync";
inline constexpr const char* kDefaultAction = "Ação padrão";
inline constexpr const char* kUpdate = "Atualizar módulos";
inline constexpr const char* kDoNothing = "Não executar";

// Connection.
inline constexpr const char* kCommIntro =
    "Utilize está página para configurar detalhes do processo de conexão do Tarvo Sync com os servidores remotos.";
inline constexpr const char* kServerGroup = "Servidor";
inline constexpr const char* kTimeout = "Tempo máximo de espera:";
inline constexpr const char* kProxyGroup = "Proxy";
inline constexpr const char* kUseProxy = "Configurar um servidor de proxy diferente do Internet Explorer";
inline constexpr const char* kProxyHost = "Servidor";
inline constexpr const char* kProxyPort = "Porta";
inline constexpr const char* kUseAuth = "Autenticação no servidor de Proxy";
inline constexpr const char* kProxyUser = "Usuario";
inline constexpr const char* kProxyPassword = "Senha";
inline constexpr const char* kDomain = "Domínio";

// The wizard's user page.
inline constexpr const char* kWelcome = "Bem vindo ao assistente de configuração do Tarvo Sync.";
inline constexpr const char* kWelcomeHelp =
    "Este assistente o ajudará a configurar o Tarvo Sync de acordo com as suas preferências. ";
inline constexpr const char* kChooseUserHelp =
    "Selecione o usuário do Hotsync Manager que deverá utilizar o Tarvo Sync e pressione 'Próximo' para continuar.";
inline constexpr const char* kUsers = "Usuários do Hotsync Manager ";

// The wizard's final page.
inline constexpr const char* kDone = "Parabéns! O Tarvo Sync foi configurado com sucesso.";
inline constexpr const char* kMoreInfo =
    "Para maiores informações sobre a Tarvo e nossos serviços, visite o nosso website.";
inline constexpr const char* kAnother = "Configurar o Tarvo Sync para um outro usuário do Hotsync.";

// The sheet's and the wizard's caption.
inline constexpr const char* kCaption = "Tarvo";

}  // namespace tarvo::ui::text
