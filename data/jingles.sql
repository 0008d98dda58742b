-- Demo jingle table of the playout suite. @DB@ is replaced by the database path.
SET SQL DIALECT 1;
SET NAMES UTF8;
CREATE DATABASE '@DB@' USER 'SYSDBA' PASSWORD 'quindorel' DEFAULT CHARACTER SET WIN1252;

CREATE TABLE TB_VINHETAS (
    VIN_CODIGO   INTEGER NOT NULL PRIMARY KEY,
    VIN_NOME     VARCHAR(45),
    VIN_TEMPO    VARCHAR(5),
    VIN_TIPO     CHAR(1),
    VIN_ARQUIVO  VARCHAR(256),
    VIN_SEGUNDOS INTEGER
);
COMMIT;

INSERT INTO TB_VINHETAS VALUES (1,  'Vinheta Manhã Alegre',         '00:04', 'V', 'manha.mp3',       4);
INSERT INTO TB_VINHETAS VALUES (2,  'Vinheta Tarde Tranquila',      '00:05', 'V', 'tarde.mp3',       5);
INSERT INTO TB_VINHETAS VALUES (3,  'Vinheta Noite Estrelada',      '00:06', 'V', 'noite.mp3',       6);
INSERT INTO TB_VINHETAS VALUES (4,  'Carimbo D''Ávila',             '00:03', 'V', 'davila.mp3',      3);
INSERT INTO TB_VINHETAS VALUES (5,  'Hora Certa',                   '00:03', 'V', 'horacerta.mp3',   3);
INSERT INTO TB_VINHETAS VALUES (6,  'Prefixo da Emissora',          '00:05', 'V', 'prefixo.mp3',     5);
INSERT INTO TB_VINHETAS VALUES (7,  'VINHETA ESPORTES',             '00:04', 'V', 'esportes.mp3',    4);
INSERT INTO TB_VINHETAS VALUES (8,  'Vinheta Promoção de Verão',    '00:05', 'V', 'promocao.mp3',    5);
INSERT INTO TB_VINHETAS VALUES (9,  'Sequência Musical',            '00:04', 'V', 'sequencia.mp3',   4);
INSERT INTO TB_VINHETAS VALUES (10, 'Vinheta Ação Social',          '00:04', 'V', 'acao.mp3',        4);
INSERT INTO TB_VINHETAS VALUES (11, 'Giro de Notícias',             '00:05', 'V', 'noticias.mp3',    5);
INSERT INTO TB_VINHETAS VALUES (12, 'Trânsito Agora',               '00:03', 'V', 'transito.mp3',    3);
INSERT INTO TB_VINHETAS VALUES (13, 'Previsão do Tempo',            '00:04', 'V', 'tempo.mp3',       4);
INSERT INTO TB_VINHETAS VALUES (14, 'Vinheta 100% Música',          '00:03', 'V', 'cempct.mp3',      3);
INSERT INTO TB_VINHETAS VALUES (15, 'Vinheta_Sublinhada',           '00:03', 'V', 'sublinhada.mp3',  3);
INSERT INTO TB_VINHETAS VALUES (16, NULL,                           '00:02', 'V', 'semnome.mp3',     2);
INSERT INTO TB_VINHETAS VALUES (17, 'Comercial Padaria Manhã',      '00:30', 'C', 'padaria.mp3',    30);
INSERT INTO TB_VINHETAS VALUES (18, 'Comercial Loja D''Ávila',      '00:30', 'C', 'loja.mp3',       30);
INSERT INTO TB_VINHETAS VALUES (19, 'Abertura do Programa',         '00:10', 'A', 'abertura.mp3',   10);
INSERT INTO TB_VINHETAS VALUES (20, 'Vinheta de Encerramento',      '00:06', 'V', 'encerramento.mp3', 6);
COMMIT;
